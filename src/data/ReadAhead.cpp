// The read-ahead: the files a load is about to ask for, read on a thread of its own so that
// inflating each overlaps with what the caller does with the one before.
#include <exception>
#include <stop_token>

#include "data/SearchPathInternal.h"

namespace data {

void TSearchPath::TImpl::StartReadAhead(const std::vector<std::string>& names) const {
  Ahead.reset();
  auto ahead = std::make_unique<TReadAhead>();
  for (const std::string& name : names) {
    const std::optional<std::string> key = IndexKey(name);
    if (!key || ahead->SlotOf.count(*key)) continue;
    std::optional<THit> hit = Lookup(name);
    if (!hit) continue;
    ahead->SlotOf.emplace(*key, ahead->Slots.size());
    TReadAhead::TSlot& slot = ahead->Slots.emplace_back();
    slot.Name = name;
    slot.Hit = std::move(*hit);
  }
  if (ahead->Slots.empty()) return;
  TReadAhead* state = ahead.get();
  ahead->Worker = std::jthread([this, state](std::stop_token stop) {
    for (TReadAhead::TSlot& slot : state->Slots) {
      {
        std::unique_lock<std::mutex> lock(state->Lock);
        if (!state->Changed.wait(lock, stop, [state] {
              return state->Held < kReadAheadBytes || state->Waiting > 0;
            }))
          return;
      }
      std::vector<std::string> warnings;
      TOutcome read;
      // Nothing may leave the thread: a failure is the file's warning, as the caller's read gives.
      try {
        read = ReadHit(slot.Hit, [&warnings](const std::string& w) { warnings.push_back(w); });
      } catch (const std::exception& e) {
        warnings.push_back(slot.Name + ": cannot be read (" + e.what() + ")");
      }
      const std::lock_guard<std::mutex> lock(state->Lock);
      state->Held += read.Bytes ? read.Bytes->size() : 0;
      slot.Read = std::move(read);
      slot.Warnings = std::move(warnings);
      slot.Ready = true;
      state->Changed.notify_all();
    }
  });
  Ahead = std::move(ahead);
}

std::optional<TSearchPath::TImpl::TOutcome> TSearchPath::TImpl::TakeReadAhead(
    const std::string& key) const {
  if (!Ahead) return std::nullopt;
  TReadAhead& state = *Ahead;
  std::unique_lock<std::mutex> lock(state.Lock);
  const auto found = state.SlotOf.find(key);
  if (found == state.SlotOf.end()) return std::nullopt;
  TReadAhead::TSlot& slot = state.Slots[found->second];
  if (slot.Taken) return std::nullopt;
  ++state.Waiting;
  state.Changed.notify_all();
  state.Changed.wait(lock, [&slot] { return slot.Ready; });
  --state.Waiting;
  slot.Taken = true;
  state.Held -= slot.Read.Bytes ? slot.Read.Bytes->size() : 0;
  TOutcome read = std::move(slot.Read);
  const std::vector<std::string> warnings = std::move(slot.Warnings);
  state.Changed.notify_all();
  lock.unlock();
  for (const std::string& warning : warnings) Warn(warning);
  return read;
}

}  // namespace data
