// Progress messages to event records, handled on the relay thread of the progress window.
#include "sn/call_back_dialog.h"

#include "journal/station_journal.h"

namespace qrx {

CCallBackDialog::CCallBackDialog(void *parent) : parent_(parent) {
  relay_ = std::make_unique<platform::MessageRelay>(
      [this](unsigned message, uintptr_t wparam, intptr_t lparam) {
        return OnMessage(message, wparam, lparam);
      });
}

// The relay is ended first: it handles what is still queued while the callback is valid.
CCallBackDialog::~CCallBackDialog() {
  relay_.reset();
  parent_ = nullptr;
}

void CCallBackDialog::SetCallback(QRXDownloadCallback callback) {
  callback_.store(callback, std::memory_order_release);
}

bool CCallBackDialog::EventFor(unsigned message, uintptr_t wparam, intptr_t lparam,
                               QRXDownloadEvent *event) {
  if (message < kFirstMessage || message > kLastMessage) return false;
  // Fields that a kind does not use are zero, so a host that reads them sees no garbage.
  QRXDownloadEvent e{};
  const auto w = static_cast<int32_t>(wparam);
  const auto l = static_cast<int32_t>(lparam);
  switch (message - kFirstMessage) {
  case 0:
    e.kind = 0;
    e.value1 = l;
    e.value3 = w;
    break;
  case 1:
    e.kind = 1;
    e.value1 = w;
    e.value4 = l;
    break;
  case 2:
    e.kind = 2;
    e.value1 = l;
    break;
  case 3:
    e.kind = 3;
    e.value1 = l;
    e.value5 = wparam == 0 ? 1 : 0;
    break;
  default:
    e.kind = 4;
    e.value1 = l;
    e.value2 = w;
    break;
  }
  *event = e;
  return true;
}

intptr_t CCallBackDialog::OnMessage(unsigned message, uintptr_t wparam, intptr_t lparam) {
  QRXDownloadEvent event;
  if (!EventFor(message, wparam, lparam, &event)) return 0;
  journal::StationJournal::DownloadProgress(event);
  QRXDownloadCallback callback = Callback();
  return callback ? callback(event) : 0;
}

} // namespace qrx
