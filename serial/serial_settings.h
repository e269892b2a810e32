#pragma once
// The three settings sub-objects of the serial component and their change notification.
#include <atomic>
#include <cstdint>
#include <functional>

#include "serial/serial_types.h"

namespace hexloader {

using TSerialIntW = std::int32_t;  // 0..2147483647

// Base of the settings sub-objects. The owning component binds OnChange; BeginUpdate/EndUpdate bracket
// several changes into one notification.
class TSerialPersistent {
 public:
  using TChangeEvent = std::function<void(TSerialPersistent& Sender)>;

  virtual ~TSerialPersistent() = default;

  void BeginUpdate();
  // Decrements the nesting (when above 0), then Changed.
  void EndUpdate();
  // Calls OnChange when no update is in progress and a handler is bound.
  void Changed();

  // Copies a source of the same class (one notification); any other source raises
  // hexloader::Exception ("Cannot assign ...").
  virtual void Assign(const TSerialPersistent& Source);

  int UpdateCount() const { return UpdateCount_; }
  void SetOnChange(TChangeEvent Handler) { OnChange_ = std::move(Handler); }

 protected:
  TSerialPersistent() = default;
  // A copy is a free-standing value: it has no owner to notify and no update in progress.
  TSerialPersistent(const TSerialPersistent&) {}
  TSerialPersistent& operator=(const TSerialPersistent&) = delete;
  // Copies the items of Source, known to be of the same class, inside BeginUpdate/EndUpdate.
  virtual bool AssignItems(const TSerialPersistent& Source) = 0;
  virtual const char* ClassName() const = 0;

 private:
  int UpdateCount_ = 0;
  TChangeEvent OnChange_;
};

class TSerialFlowControl : public TSerialPersistent {
 public:
  using TSerialPersistent::Assign;
  void Assign(const TSerialFlowControl& Source) { TSerialPersistent::Assign(Source); }

  bool OutCtsFlow() const { return OutCtsFlow_; }
  bool OutDsrFlow() const { return OutDsrFlow_; }
  TSerialControlDtr ControlDtr() const { return ControlDtr_; }
  TSerialControlRts ControlRts() const { return ControlRts_; }
  bool XonXoffOut() const { return XonXoffOut_; }
  bool XonXoffIn() const { return XonXoffIn_; }
  bool DsrSensitivity() const { return DsrSensitivity_; }
  bool TxContinueOnXoff() const { return TxContinueOnXoff_; }

  // Each setter stores and notifies only when the value differs.
  void SetOutCtsFlow(bool Value);
  void SetOutDsrFlow(bool Value);
  void SetControlDtr(TSerialControlDtr Value);
  void SetControlRts(TSerialControlRts Value);
  void SetXonXoffOut(bool Value);
  void SetXonXoffIn(bool Value);
  void SetDsrSensitivity(bool Value);
  void SetTxContinueOnXoff(bool Value);

 protected:
  bool AssignItems(const TSerialPersistent& Source) override;
  const char* ClassName() const override { return "TSerialFlowControl"; }

 private:
  template <typename T>
  void Set(T& Field, T Value);

  bool OutCtsFlow_ = false;
  bool OutDsrFlow_ = false;
  TSerialControlDtr ControlDtr_ = dtrDisabled;
  TSerialControlRts ControlRts_ = rtsDisabled;
  bool XonXoffOut_ = false;
  bool XonXoffIn_ = false;
  bool DsrSensitivity_ = false;
  bool TxContinueOnXoff_ = false;
};

class TSerialEventChars : public TSerialPersistent {
 public:
  using TSerialPersistent::Assign;
  void Assign(const TSerialEventChars& Source) { TSerialPersistent::Assign(Source); }

  char XonChar() const { return Chars_[0]; }
  char XoffChar() const { return Chars_[1]; }
  char ErrorChar() const { return Chars_[2]; }
  char EventChar() const { return Chars_[3]; }
  char EofChar() const { return Chars_[4]; }

  // The setters store and notify every time, even when the value is unchanged.
  void SetXonChar(char Value) { SetChar(1, Value); }
  void SetXoffChar(char Value) { SetChar(2, Value); }
  void SetErrorChar(char Value) { SetChar(3, Value); }
  void SetEventChar(char Value) { SetChar(4, Value); }
  void SetEofChar(char Value) { SetChar(5, Value); }
  // Index 1..5 in the order XonChar, XoffChar, ErrorChar, EventChar, EofChar.
  void SetChar(int Index, char Value);

 protected:
  bool AssignItems(const TSerialPersistent& Source) override;
  const char* ClassName() const override { return "TSerialEventChars"; }

 private:
  char Chars_[5] = {0x11, 0x13, 0, 0, 0};
};

class TSerialBuffers : public TSerialPersistent {
 public:
  using TSerialPersistent::Assign;
  void Assign(const TSerialBuffers& Source) { TSerialPersistent::Assign(Source); }

  TSerialIntW ReadSize() const { return ReadSize_; }
  TSerialIntW WriteSize() const { return WriteSize_; }
  TSerialIntW ReadTimeout() const;
  TSerialIntW WriteTimeout() const;
  TSerialIntW XonLimit() const { return XonLimit_; }
  TSerialIntW XoffLimit() const { return XoffLimit_; }

  // Store and notify when the value differs. A negative value raises ESerialCommError.
  void SetReadSize(TSerialIntW Value);
  void SetWriteSize(TSerialIntW Value);
  void SetXonLimit(TSerialIntW Value);
  void SetXoffLimit(TSerialIntW Value);
  // Stored without notification; may change at any time, also while I/O threads read them.
  void SetReadTimeout(TSerialIntW Value);
  void SetWriteTimeout(TSerialIntW Value);

  TSerialBuffers() = default;
  TSerialBuffers(const TSerialBuffers& Other);
  TSerialBuffers& operator=(const TSerialBuffers&) = delete;

 protected:
  bool AssignItems(const TSerialPersistent& Source) override;
  const char* ClassName() const override { return "TSerialBuffers"; }

 private:
  void SetNotifying(TSerialIntW& Field, TSerialIntW Value);

  TSerialIntW ReadSize_ = 4096;
  TSerialIntW WriteSize_ = 2048;
  // Read by the threads that wait in ReadBuf and WriteBuf while the user-interface thread may set them.
  std::atomic<TSerialIntW> ReadTimeout_{1000};
  std::atomic<TSerialIntW> WriteTimeout_{1000};
  TSerialIntW XonLimit_ = 1024;
  TSerialIntW XoffLimit_ = 1024;
};

}  // namespace hexloader
