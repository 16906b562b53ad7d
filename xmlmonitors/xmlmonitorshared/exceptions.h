// Exceptions shared with the host and other modules. CVkBaseException is exported so that
// a host can catch it by type; copying keeps only the dynamic type.
#pragma once

#define FEEDPROBE_EXPORTED_CLASS __attribute__((visibility("default")))

class FEEDPROBE_EXPORTED_CLASS CVkBaseException {
 public:
  CVkBaseException();
  CVkBaseException(const CVkBaseException& other);
  virtual ~CVkBaseException();
  CVkBaseException& operator=(const CVkBaseException& other);

  // The text that describes the exception (may be null).
  const char* operator*();
  virtual const char* GetMessageText() = 0;
};

// No thread-local slot could be allocated.
class CMtlsException : public CVkBaseException {
 public:
  const char* GetMessageText() override;
};
