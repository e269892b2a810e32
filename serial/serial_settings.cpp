#include "serial/serial_settings.h"

#include <string>
#include <typeinfo>

#include "core/exception.h"
#include "serial/serial_error.h"

namespace hexloader {

void TSerialPersistent::BeginUpdate() { ++UpdateCount_; }

void TSerialPersistent::EndUpdate() {
  if (UpdateCount_ > 0) --UpdateCount_;
  Changed();
}

void TSerialPersistent::Changed() {
  if (UpdateCount_ == 0 && OnChange_) OnChange_(*this);
}

void TSerialPersistent::Assign(const TSerialPersistent& Source) {
  if (typeid(Source) != typeid(*this))
    throw Exception(std::string("Cannot assign a ") + Source.ClassName() + " to a " + ClassName());
  BeginUpdate();
  // EndUpdate also on an exception, so the owner hears exactly one notification either way.
  try {
    AssignItems(Source);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// --- TSerialFlowControl ---

template <typename T>
void TSerialFlowControl::Set(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Changed();
}

void TSerialFlowControl::SetOutCtsFlow(bool Value) { Set(OutCtsFlow_, Value); }
void TSerialFlowControl::SetOutDsrFlow(bool Value) { Set(OutDsrFlow_, Value); }
void TSerialFlowControl::SetControlDtr(TSerialControlDtr Value) { Set(ControlDtr_, Value); }
void TSerialFlowControl::SetControlRts(TSerialControlRts Value) { Set(ControlRts_, Value); }
void TSerialFlowControl::SetXonXoffOut(bool Value) { Set(XonXoffOut_, Value); }
void TSerialFlowControl::SetXonXoffIn(bool Value) { Set(XonXoffIn_, Value); }
void TSerialFlowControl::SetDsrSensitivity(bool Value) { Set(DsrSensitivity_, Value); }
void TSerialFlowControl::SetTxContinueOnXoff(bool Value) { Set(TxContinueOnXoff_, Value); }

bool TSerialFlowControl::AssignItems(const TSerialPersistent& Source) {
  const auto& s = static_cast<const TSerialFlowControl&>(Source);
  SetOutCtsFlow(s.OutCtsFlow_);
  SetOutDsrFlow(s.OutDsrFlow_);
  SetControlDtr(s.ControlDtr_);
  SetControlRts(s.ControlRts_);
  SetXonXoffOut(s.XonXoffOut_);
  SetXonXoffIn(s.XonXoffIn_);
  SetDsrSensitivity(s.DsrSensitivity_);
  SetTxContinueOnXoff(s.TxContinueOnXoff_);
  return true;
}

// --- TSerialEventChars ---

void TSerialEventChars::SetChar(int Index, char Value) {
  if (Index < 1 || Index > 5) return;
  Chars_[Index - 1] = Value;
  Changed();
}

bool TSerialEventChars::AssignItems(const TSerialPersistent& Source) {
  const auto& s = static_cast<const TSerialEventChars&>(Source);
  for (int i = 1; i <= 5; ++i) SetChar(i, s.Chars_[i - 1]);
  return true;
}

// --- TSerialBuffers ---

namespace {
void CheckNotNegative(TSerialIntW Value) {
  if (Value < 0) RaiseCommError(serial_msg::NegativeValue, Value);
}
}  // namespace

TSerialBuffers::TSerialBuffers(const TSerialBuffers& Other)
    : TSerialPersistent(Other),
      ReadSize_(Other.ReadSize_),
      WriteSize_(Other.WriteSize_),
      ReadTimeout_(Other.ReadTimeout()),
      WriteTimeout_(Other.WriteTimeout()),
      XonLimit_(Other.XonLimit_),
      XoffLimit_(Other.XoffLimit_) {}

TSerialIntW TSerialBuffers::ReadTimeout() const { return ReadTimeout_.load(std::memory_order_relaxed); }
TSerialIntW TSerialBuffers::WriteTimeout() const { return WriteTimeout_.load(std::memory_order_relaxed); }

void TSerialBuffers::SetNotifying(TSerialIntW& Field, TSerialIntW Value) {
  CheckNotNegative(Value);
  if (Field == Value) return;
  Field = Value;
  Changed();
}

void TSerialBuffers::SetReadSize(TSerialIntW Value) { SetNotifying(ReadSize_, Value); }
void TSerialBuffers::SetWriteSize(TSerialIntW Value) { SetNotifying(WriteSize_, Value); }
void TSerialBuffers::SetXonLimit(TSerialIntW Value) { SetNotifying(XonLimit_, Value); }
void TSerialBuffers::SetXoffLimit(TSerialIntW Value) { SetNotifying(XoffLimit_, Value); }

void TSerialBuffers::SetReadTimeout(TSerialIntW Value) {
  CheckNotNegative(Value);
  ReadTimeout_.store(Value, std::memory_order_relaxed);
}

void TSerialBuffers::SetWriteTimeout(TSerialIntW Value) {
  CheckNotNegative(Value);
  WriteTimeout_.store(Value, std::memory_order_relaxed);
}

bool TSerialBuffers::AssignItems(const TSerialPersistent& Source) {
  // The six values are copied directly; the one notification comes from Assign's EndUpdate.
  const auto& s = static_cast<const TSerialBuffers&>(Source);
  ReadSize_ = s.ReadSize_;
  WriteSize_ = s.WriteSize_;
  ReadTimeout_.store(s.ReadTimeout(), std::memory_order_relaxed);
  WriteTimeout_.store(s.WriteTimeout(), std::memory_order_relaxed);
  XonLimit_ = s.XonLimit_;
  XoffLimit_ = s.XoffLimit_;
  return true;
}

}  // namespace hexloader
