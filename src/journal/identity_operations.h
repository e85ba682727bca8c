// Which identity each serial-number manager export writes or reads, as the journal records
// it, and the name its read-back text goes under in a call event.
#pragma once

#include "interface/export_catalogue.h"
#include "journal/journal_format.h"

#include <string_view>

namespace qrx::journal {

struct IdentityOperation {
  ManagerOperation operation;
  std::string_view kind;     // "sn", "imei", ...
  std::string_view op;       // identity_op::kWrite or kRead
  std::string_view readBack; // key of the read-back text; empty for writes
};

inline constexpr IdentityOperation kIdentityOperations[] = {
    {ManagerOperation::kWriteSN, "sn", identity_op::kWrite, ""},
    {ManagerOperation::kReadSN, "sn", identity_op::kRead, "Sn"},
    {ManagerOperation::kWriteMSN, "msn", identity_op::kWrite, ""},
    {ManagerOperation::kReadMSN, "msn", identity_op::kRead, "Msn"},
    {ManagerOperation::kWriteIMEI, "imei", identity_op::kWrite, ""},
    {ManagerOperation::kReadIMEI, "imei", identity_op::kRead, "Imei"},
    {ManagerOperation::kWritePSN16Bit, "psn", identity_op::kWrite, ""},
    {ManagerOperation::kReadPSN16Bit, "psn", identity_op::kRead, "Psn"},
    {ManagerOperation::kWriteMAC, "mac", identity_op::kWrite, ""},
    {ManagerOperation::kReadMAC, "mac", identity_op::kRead, "Mac"},
    {ManagerOperation::kWriteSSID, "ssid", identity_op::kWrite, ""},
    {ManagerOperation::kReadSSID, "ssid", identity_op::kRead, "Ssid"},
    {ManagerOperation::kWriteTestFlag, "testflag", identity_op::kWrite, ""},
    {ManagerOperation::kReadTestInfo, "testflag", identity_op::kRead, "TestInfo"},
    {ManagerOperation::kReadTestInfo_AT, "testflag", identity_op::kRead, "TestInfo"},
    {ManagerOperation::kReadTestInfo_UFI, "testflag", identity_op::kRead, "TestInfo"},
    {ManagerOperation::kReadIntSoftVersion, "softversion", identity_op::kRead, "SoftVersion"},
    {ManagerOperation::kReadIntSoftVersion_UFI, "softversion", identity_op::kRead, "SoftVersion"},
};

constexpr const IdentityOperation *FindIdentityOperation(ManagerOperation operation) {
  for (const IdentityOperation &row : kIdentityOperations)
    if (row.operation == operation) return &row;
  return nullptr;
}

} // namespace qrx::journal
