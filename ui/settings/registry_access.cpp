#include "ui/settings/registry_ini_file.h"

namespace hexloader {

std::uint32_t RegistryAccessMask(const TRegAccess& Access) {
  std::uint32_t mask = 0;
  for (const TRegAccessKey key : Access) {
    switch (key) {
      case TRegAccessKey::keyQueryValue: mask |= 0x1; break;
      case TRegAccessKey::keySetValue: mask |= 0x2; break;
      case TRegAccessKey::keyCreateSubKey: mask |= 0x4; break;
      case TRegAccessKey::keyEnumerateSubKeys: mask |= 0x8; break;
      case TRegAccessKey::keyNotify: mask |= 0x10; break;
      case TRegAccessKey::keyCreateLink: mask |= 0x20; break;
      case TRegAccessKey::keyRead: mask |= 0x20019; break;
      case TRegAccessKey::keyWrite: mask |= 0x20006; break;
      case TRegAccessKey::keyExecute: mask |= 0x20019; break;
      case TRegAccessKey::keyAllAccess: mask |= 0xF003F; break;
    }
  }
  return mask;
}

}  // namespace hexloader
