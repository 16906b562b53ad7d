#include "xmlmonitorshared/exceptions.h"

CVkBaseException::CVkBaseException() = default;
CVkBaseException::CVkBaseException(const CVkBaseException&) = default;
CVkBaseException::~CVkBaseException() = default;
CVkBaseException& CVkBaseException::operator=(const CVkBaseException&) { return *this; }
const char* CVkBaseException::operator*() { return GetMessageText(); }

const char* CMtlsException::GetMessageText() { return nullptr; }
