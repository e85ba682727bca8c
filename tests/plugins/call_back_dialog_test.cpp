// The progress window's mapping of messages to download events.
#include "sn/call_back_dialog.h"

#include <qrx/plugin_boundary.h>

#include <gtest/gtest.h>

#include <vector>

namespace qrx {
namespace {

TEST(CallBackDialogEvents, EachMessageFillsItsKindsFieldsAndZeroesTheRest) {
  struct Case {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
    std::vector<int32_t> event; // kind, value1 .. value5
  };
  const Case cases[] = {
      {0x464, 5, 6, {0, 6, 0, 5, 0, 0}}, {0x465, 7, 9, {1, 7, 0, 0, 9, 0}},
      {0x466, 3, 4, {2, 4, 0, 0, 0, 0}}, {0x467, 0, 8, {3, 8, 0, 0, 0, 1}},
      {0x467, 2, 8, {3, 8, 0, 0, 0, 0}}, {0x468, 12, -3, {4, -3, 12, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    QRXDownloadEvent e{-1, -1, -1, -1, -1, -1};
    ASSERT_TRUE(CCallBackDialog::EventFor(c.message, c.wparam, c.lparam, &e)) << c.message;
    EXPECT_EQ((std::vector<int32_t>{e.kind, e.value1, e.value2, e.value3, e.value4, e.value5}),
              c.event) << std::hex << c.message << " " << c.wparam;
  }
  QRXDownloadEvent e;
  EXPECT_FALSE(CCallBackDialog::EventFor(0x463, 0, 0, &e));
  EXPECT_FALSE(CCallBackDialog::EventFor(0x469, 0, 0, &e));
}

} // namespace
} // namespace qrx
