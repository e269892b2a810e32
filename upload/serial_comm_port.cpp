#include "upload/serial_comm_port.h"

#include "serial/serial_comm.h"

namespace hexloader {

std::string TSerialCommPort::DeviceName() const { return Comm_.DeviceName(); }
bool TSerialCommPort::IsOpen() const { return Comm_.IsOpen(); }
void TSerialCommPort::Open() { Comm_.Open(); }
int TSerialCommPort::WriteBuf(const void* Buffer, int Count) { return Comm_.WriteBuf(Buffer, Count); }
int TSerialCommPort::ReadBuf(void* Buffer, int Count) { return Comm_.ReadBuf(Buffer, Count); }
int TSerialCommPort::InQueueCount() { return Comm_.InQueueCount(); }
void TSerialCommPort::SetReceiveThreshold(int Count) { Comm_.SetReceiveThreshold(Count); }

}  // namespace hexloader
