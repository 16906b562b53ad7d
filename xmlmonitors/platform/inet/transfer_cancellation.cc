#include "platform/inet/transfer_cancellation.h"

#include <algorithm>
#include <utility>

namespace platform::inet {
namespace {

thread_local std::shared_ptr<TransferCancellationToken> bound_token;

}  // namespace

void TransferCancellationToken::Cancel() {
  cancelled_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  for (Waker* waker : wakers_) waker->Wake();
}

void TransferCancellationToken::Register(Waker* waker) {
  std::lock_guard<std::mutex> lock(mutex_);
  wakers_.push_back(waker);
}

void TransferCancellationToken::Unregister(Waker* waker) {
  std::lock_guard<std::mutex> lock(mutex_);
  wakers_.erase(std::remove(wakers_.begin(), wakers_.end(), waker), wakers_.end());
}

TransferCancellationScope::TransferCancellationScope(
    std::shared_ptr<TransferCancellationToken> token)
    : previous_(std::exchange(bound_token, std::move(token))) {}

TransferCancellationScope::~TransferCancellationScope() { bound_token = std::move(previous_); }

std::shared_ptr<TransferCancellationToken> CurrentTransferCancellation() { return bound_token; }

}  // namespace platform::inet
