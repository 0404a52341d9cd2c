#include "mainwin/formreceiver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QThread>
#include <future>
#include <memory>

#include "mainwin/fmain.h"

namespace ostrel {

std::intptr_t TFormReceiver::HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  std::unique_lock<std::mutex> lock(Lock);
  TForm1* form = Form;
  if (!form) return 0;
  if (QThread::currentThread() == form->thread()) {
    lock.unlock();
    return form->Dispatch(msg, wParam, lParam);
  }
  // Posted under the lock, so Detach cannot slip in between the check and the post; waited for
  // outside it, so the GUI thread can take the lock meanwhile. A posted call that is dropped
  // with the window's pending events breaks its promise, which releases the sender.
  // The posted call holds the only reference to the promise.
  auto reply = std::make_shared<std::promise<std::intptr_t>>();
  std::future<std::intptr_t> result = reply->get_future();
  QMetaObject::invokeMethod(
      form,
      [form, reply = std::move(reply), msg, wParam, lParam] {
        reply->set_value(form->Dispatch(msg, wParam, lParam));
      },
      Qt::QueuedConnection);
  lock.unlock();
  try {
    return result.get();
  } catch (const std::future_error&) {
    return 0;
  }
}

void TFormReceiver::Detach() {
  TForm1* form;
  {
    std::lock_guard<std::mutex> guard(Lock);
    form = Form;
    Form = nullptr;
  }
  if (form) QCoreApplication::removePostedEvents(form, QEvent::MetaCall);
}

}  // namespace ostrel
