// The data queue of a push stream: an unbounded single-producer,
// single-consumer list of byte blocks. The producer (StreamPutData, under
// the channel's lock) allocates blocks and frees those the consumer has
// left; the consumer (the mixer) only follows links and copies bytes, so it
// never allocates or locks.
#ifndef QV3_AUDIOLIB_PUSH_QUEUE_H_
#define QV3_AUDIOLIB_PUSH_QUEUE_H_

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qv3::audio_internal {

class PushQueue {
 public:
  PushQueue() { ResetUnsafe(); }
  ~PushQueue() { FreeAll(); }
  PushQueue(const PushQueue&) = delete;
  PushQueue& operator=(const PushQueue&) = delete;

  // Producer. false when memory runs out.
  bool Put(const void* data, uint32_t bytes) {
    Reclaim();
    if (bytes == 0) return true;
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + bytes));
    if (!b) return false;
    new (b) Block();
    b->size = bytes;
    std::memcpy(b->data(), data, bytes);
    tail_->next.store(b, std::memory_order_release);
    tail_ = b;
    put_total_.fetch_add(bytes, std::memory_order_release);
    return true;
  }

  // Consumer: copies up to `bytes`; returns the count.
  uint32_t Read(void* dst, uint32_t bytes) {
    uint32_t done = 0;
    auto* out = static_cast<uint8_t*>(dst);
    while (done < bytes) {
      if (read_off_ == cur_->size) {
        Block* next = cur_->next.load(std::memory_order_acquire);
        if (!next) break;
        cur_ = next;
        read_off_ = 0;
        consumer_block_.store(cur_, std::memory_order_release);
        continue;
      }
      uint32_t n = cur_->size - read_off_;
      if (n > bytes - done) n = bytes - done;
      std::memcpy(out + done, cur_->data() + read_off_, n);
      read_off_ += n;
      done += n;
    }
    if (done) consumed_total_.fetch_add(done, std::memory_order_release);
    return done;
  }

  uint64_t put_total() const { return put_total_.load(std::memory_order_acquire); }
  uint64_t consumed_total() const { return consumed_total_.load(std::memory_order_acquire); }
  uint64_t queued() const {
    uint64_t p = put_total(), c = consumed_total();
    return p > c ? p - c : 0;
  }

  // Drops everything. Only while the consumer is known not to run.
  void Clear() {
    FreeAll();
    ResetUnsafe();
  }

 private:
  struct Block {
    std::atomic<Block*> next{nullptr};
    uint32_t size = 0;
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
  };

  void Reclaim() {
    Block* keep = consumer_block_.load(std::memory_order_acquire);
    while (oldest_ != keep) {
      Block* next = oldest_->next.load(std::memory_order_acquire);
      oldest_->~Block();
      std::free(oldest_);
      oldest_ = next;
    }
  }

  void FreeAll() {
    Block* b = oldest_;
    while (b) {
      Block* next = b->next.load(std::memory_order_relaxed);
      b->~Block();
      std::free(b);
      b = next;
    }
    oldest_ = nullptr;
  }

  void ResetUnsafe() {
    auto* dummy = static_cast<Block*>(std::malloc(sizeof(Block)));
    new (dummy) Block();
    oldest_ = tail_ = cur_ = dummy;
    read_off_ = 0;
    consumer_block_.store(dummy, std::memory_order_release);
    put_total_.store(0, std::memory_order_release);
    consumed_total_.store(0, std::memory_order_release);
  }

  // Producer side.
  Block* tail_ = nullptr;
  Block* oldest_ = nullptr;
  // Consumer side.
  Block* cur_ = nullptr;
  uint32_t read_off_ = 0;
  // Shared.
  std::atomic<Block*> consumer_block_{nullptr};
  std::atomic<uint64_t> put_total_{0};
  std::atomic<uint64_t> consumed_total_{0};
};

}  // namespace qv3::audio_internal

#endif  // QV3_AUDIOLIB_PUSH_QUEUE_H_
