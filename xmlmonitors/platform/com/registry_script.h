// Registry scripts: the keys and values a component server adds at registration and removes
// at unregistration, as text.
//
//   HKCR
//   {
//     NoRemove CLSID                      keep this key at unregistration
//     {
//       ForceRemove {GUID} = s 'Name'     delete and create anew at registration
//       {
//         InprocServer32 = s '%MODULE%'   %NAME% is replaced from the replacement table
//         {
//           val ThreadingModel = s 'Apartment'
//         }
//       }
//     }
//   }
//
// Names are bare words or 'quoted'; values are s 'text' or d number. At unregistration every
// key the script names is removed with the keys below it, except NoRemove keys, whose
// children are visited instead.
#pragma once

#include <map>
#include <string>

#include "platform/com/hresult.h"
#include "platform/com/registry_store.h"

namespace platform {

// S_OK, or E_INVALIDARG for a script that does not parse (the data is then left unchanged).
HRESULT ApplyRegistryScript(RegistryData& data, const std::string& script,
                            const std::map<std::string, std::string>& replacements,
                            bool register_entries);

}  // namespace platform
