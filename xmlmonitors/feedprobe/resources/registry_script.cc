#include "feedprobe/resources/registry_script.h"

namespace feedprobe {

const char kTransportRegistryScript[] = R"(HKCR
{
  Tolvane.VIDI4RAZUzovevi.702 = s 'HTTPTransport Class'
  {
    CLSID = s '{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}'
  }
  Tolvane.VIDI4RAZUzovevi = s 'HTTPTransport Class'
  {
    CLSID = s '{CCC1D3D4-8E57-11D4-9E8D-006008CB5184}'
    CurVer = s 'Tolvane.VIDI4RAZUzovevi.702'
  }
  NoRemove CLSID
  {
    {CCC1D3D4-8E57-11D4-9E8D-006008CB5184} = s 'HTTPTransport Class'
    {
      ProgID = s 'Tolvane.VIDI4RAZUzovevi.702'
      VersionIndependentProgID = s 'Tolvane.VIDI4RAZUzovevi'
      ForceRemove 'Programmable'
      InprocServer32 = s '%RELATIVE_PATH%'
      {
        val ThreadingModel = s 'Apartment'
      }
      'TypeLib' = s '{776D33B3-888B-11D4-9E8B-006008CB5184}'
    }
  }
}
)";

}  // namespace feedprobe
