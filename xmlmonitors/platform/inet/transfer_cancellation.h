// Cancellation of the transfers of a thread from another thread. A thread binds a token to
// itself with a TransferCancellationScope; every transfer it makes while bound watches the
// token, and Cancel from any thread makes the running one and any later one fail promptly
// (as an aborted transfer) until the token is reset. The token stays alive as long as a
// transfer uses it, so the canceller may drop its reference at any time.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::inet {

class TransferCancellationToken {
 public:
  TransferCancellationToken() = default;
  TransferCancellationToken(const TransferCancellationToken&) = delete;
  TransferCancellationToken& operator=(const TransferCancellationToken&) = delete;

  // Marks the transfers of the bound threads for abortion and wakes the running ones.
  void Cancel();
  // Lets later transfers run again.
  void Reset() { cancelled_.store(false); }
  bool cancelled() const { return cancelled_.load(); }

  // Something a running transfer waits in, woken by Cancel.
  class Waker {
   public:
    virtual void Wake() = 0;

   protected:
    ~Waker() = default;
  };
  // A running transfer registers its waker for its duration; Cancel wakes it under the lock,
  // so a waker is never used after Unregister returns.
  void Register(Waker* waker);
  void Unregister(Waker* waker);

 private:
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::vector<Waker*> wakers_;
};

// Binds a token to the calling thread for the scope's lifetime; scopes nest, the inner wins.
class TransferCancellationScope {
 public:
  explicit TransferCancellationScope(std::shared_ptr<TransferCancellationToken> token);
  ~TransferCancellationScope();
  TransferCancellationScope(const TransferCancellationScope&) = delete;
  TransferCancellationScope& operator=(const TransferCancellationScope&) = delete;

 private:
  std::shared_ptr<TransferCancellationToken> previous_;
};

// The token bound to the calling thread, or none.
std::shared_ptr<TransferCancellationToken> CurrentTransferCancellation();

}  // namespace platform::inet
