#pragma once
// Registry mode of the settings store: sections are subkeys of one key, keys are named string values
// (registry_ini_file_<platform>.cpp). Where the platform has no registry, opening raises
// ERegistryException.
#include <cstdint>
#include <memory>
#include <string>

#include "ui/settings/ini_file.h"
#include "ui/settings/reg_ini_file.h"

namespace hexloader {

// The Win32 access rights of the members of Access, OR-ed.
std::uint32_t RegistryAccessMask(const TRegAccess& Access);

// The backing object for the key KeyPath under Root, opened (created when missing) with the rights of
// Access; the outcome of opening is not checked here: a key that did not open reads as empty and
// refuses writes with the usual texts.
std::unique_ptr<TCustomIniFile> OpenRegistryIniFile(TRegKey Root, const std::string& KeyPath, const TRegAccess& Access);

}  // namespace hexloader
