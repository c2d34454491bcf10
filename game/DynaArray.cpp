// The record list's storage rules: chunks of 100 records, zeroed records, cursor walks.
#include "game/DynaArray.h"

#include <cstdint>
#include <cstring>

namespace blubbi {

namespace {
void* ZeroedBlock(size_t bytes) { return std::calloc(bytes, 1); }
}  // namespace

TDynaArrayBase::TAllocator TDynaArrayBase::Allocator = ZeroedBlock;

TDynaArrayBase::TDynaArrayBase(int32_t elementSize, void** currentVar, TErrorSink onError)
    : ElementSize(elementSize), CurrentVar(currentVar), OnError(std::move(onError)) {}

TDynaArrayBase::~TDynaArrayBase() {
    std::free(Storage);
    Current = nullptr;
    Cursor = -1;
}

int64_t TDynaArrayBase::WantedBytes(int64_t count) const {
    if (count <= 0) return 0;
    return ((count - 1) / ChunkRecords + 1) * ElementSize * ChunkRecords;
}

void TDynaArrayBase::SetCurrent(void* record) {
    Current = record;
    if (CurrentVar) *CurrentVar = record;
}

uint8_t* TDynaArrayBase::Obtain(int64_t bytes, const char* leadIn) {
    // The size is kept in 32 bits; a list that would need more can't be had, like any block
    // the memory refuses.
    auto* block = bytes <= INT32_MAX ? static_cast<uint8_t*>(Allocator(static_cast<size_t>(bytes))) : nullptr;
    if (!block && OnError) OnError(std::string(leadIn) + std::to_string(bytes) + " bytes of RAM. Not enough memory.");
    return block;
}

void* TDynaArrayBase::AppendRaw() {
    if (!AppendManyRaw(1)) return nullptr;
    return Current;
}

void* TDynaArrayBase::AppendManyRaw(int32_t count) {
    if (count <= 0) return nullptr;
    const int64_t total = int64_t{Count} + count;
    const int64_t wanted = WantedBytes(total);
    const size_t first = static_cast<size_t>(Count) * static_cast<size_t>(ElementSize);
    if (wanted != AllocatedBytes) {
        const bool empty = Count == 0 || !Storage;
        uint8_t* block =
            Obtain(wanted, empty ? "Error 1 while trying to allocate " : "Error 2 while trying to allocate ");
        if (!block) return nullptr;  // the list stays as it was: no record is handed out
        // Only the records in use move over: the rest of the old room may hold deleted bytes.
        if (!empty) std::memcpy(block, Storage, first);
        std::free(Storage);
        Storage = block;
        AllocatedBytes = static_cast<int32_t>(wanted);
    } else {
        // The room was there already and may hold the bytes of deleted records.
        std::memset(Storage + first, 0, static_cast<size_t>(count) * static_cast<size_t>(ElementSize));
    }
    Count = static_cast<int32_t>(total);
    SelectRaw(Count - 1);
    return Storage + first;
}

void* TDynaArrayBase::SelectRaw(int32_t index) {
    Cursor = index;
    SetCurrent(Record(index));
    return Current;
}

void TDynaArrayBase::Rewind() {
    if (Count <= 0) return;
    SelectRaw(0);
}

bool TDynaArrayBase::Next() {
    if (Count == 0 || Cursor < 0 || Cursor > Count - 1) return false;
    SetCurrent(Record(Cursor));
    ++Cursor;
    return true;
}

void TDynaArrayBase::Delete(int32_t index) {
    if (index < 0 || index > Count - 1) return;
    for (int32_t i = index; i <= Count - 2; ++i)
        std::memcpy(Record(i), Record(i + 1), static_cast<size_t>(ElementSize));
    --Count;
    const int64_t wanted = WantedBytes(Count);
    if (wanted != AllocatedBytes) {
        if (Count == 0) {
            std::free(Storage);
            Storage = nullptr;
            AllocatedBytes = 0;
        } else if (uint8_t* block = Obtain(wanted, "Error 3 while trying to allocate ")) {
            std::memcpy(block, Storage, static_cast<size_t>(wanted));
            std::free(Storage);
            Storage = block;
            AllocatedBytes = static_cast<int32_t>(wanted);
        }
        // A failed shrink keeps the larger block, which still holds every record.
    }
    Cursor = -1;
    SetCurrent(nullptr);
}

void TDynaArrayBase::Unselect() {
    Cursor = -1;
    SetCurrent(nullptr);
}

void TDynaArrayBase::Clear() {
    std::free(Storage);
    Storage = nullptr;
    Count = 0;
    AllocatedBytes = 0;
    Cursor = -1;
    SetCurrent(nullptr);
}

}  // namespace blubbi
