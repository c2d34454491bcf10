// The record list's storage rules: chunks of 100 records, zeroed records, cursor walks.
#include "game/DynaArray.h"

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

int32_t TDynaArrayBase::WantedBytes() const {
    if (Count <= 0) return 0;
    return ((Count - 1) / ChunkRecords + 1) * ElementSize * ChunkRecords;
}

void TDynaArrayBase::SetCurrent(void* record) {
    Current = record;
    if (CurrentVar) *CurrentVar = record;
}

uint8_t* TDynaArrayBase::Obtain(int32_t bytes, const char* leadIn) {
    auto* block = static_cast<uint8_t*>(Allocator(static_cast<size_t>(bytes)));
    if (!block && OnError) OnError(std::string(leadIn) + std::to_string(bytes) + " bytes of RAM. Not enough memory.");
    return block;
}

void* TDynaArrayBase::AppendRaw() {
    ++Count;
    const int32_t wanted = WantedBytes();
    bool fresh = false;
    if (wanted != AllocatedBytes) {
        const bool empty = Count == 1 || !Storage;
        uint8_t* block =
            Obtain(wanted, empty ? "Error 1 while trying to allocate " : "Error 2 while trying to allocate ");
        if (!block) {
            // The list stays as it was: no record is handed out.
            --Count;
            return nullptr;
        }
        if (!empty) std::memcpy(block, Storage, static_cast<size_t>(AllocatedBytes));
        std::free(Storage);
        Storage = block;
        AllocatedBytes = wanted;
        fresh = true;
    }
    if (!fresh) std::memset(Storage + static_cast<size_t>(Count - 1) * ElementSize, 0, ElementSize);
    return SelectRaw(Count - 1);
}

void* TDynaArrayBase::SelectRaw(int32_t index) {
    Cursor = index;
    SetCurrent(Storage + static_cast<size_t>(index) * ElementSize);
    return Current;
}

void TDynaArrayBase::Rewind() {
    if (Count <= 0) return;
    SelectRaw(0);
}

bool TDynaArrayBase::Next() {
    if (Count == 0 || Cursor < 0 || Cursor > Count - 1) return false;
    SetCurrent(Storage + static_cast<size_t>(Cursor) * ElementSize);
    ++Cursor;
    return true;
}

void TDynaArrayBase::Delete(int32_t index) {
    if (index < 0 || index > Count - 1) return;
    for (int32_t i = index; i <= Count - 2; ++i)
        std::memcpy(Storage + static_cast<size_t>(i) * ElementSize, Storage + static_cast<size_t>(i + 1) * ElementSize,
                    ElementSize);
    --Count;
    const int32_t wanted = WantedBytes();
    if (wanted != AllocatedBytes) {
        if (Count == 0) {
            std::free(Storage);
            Storage = nullptr;
            AllocatedBytes = 0;
        } else if (uint8_t* block = Obtain(wanted, "Error 3 while trying to allocate ")) {
            std::memcpy(block, Storage, static_cast<size_t>(wanted));
            std::free(Storage);
            Storage = block;
            AllocatedBytes = wanted;
        }
        // A failed shrink keeps the larger block, which still holds every record.
    }
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
