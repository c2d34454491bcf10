// TDynaArray: a growable run of fixed-size records in one zeroed block, with a walking
// cursor and a current record mirrored into the owner's pointer variable.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

namespace blubbi {

class TDynaArrayBase {
public:
    using TAllocator = void* (*)(size_t bytes);  // zero-filled block, nullptr on failure
    using TErrorSink = std::function<void(const std::string&)>;

    TDynaArrayBase(int32_t elementSize, void** currentVar, TErrorSink onError);
    ~TDynaArrayBase();
    TDynaArrayBase(const TDynaArrayBase&) = delete;
    TDynaArrayBase& operator=(const TDynaArrayBase&) = delete;

    void* AppendRaw();  // nullptr only when no memory could be had
    // Appends `count` zero records in one step, the last one current, as `count` calls of
    // AppendRaw would leave the list, but with one block of the final size instead of a new
    // block at every chunk. Returns the first new record; nullptr, with the list as it was,
    // when no memory could be had.
    void* AppendManyRaw(int32_t count);
    void* SelectRaw(int32_t index);
    void Rewind();
    bool Next();
    void Delete(int32_t index);
    void Clear();
    // No current record and the cursor before the first, as after Delete.
    void Unselect();

    int32_t Count = 0;
    int32_t Cursor = -1;
    int32_t AllocatedBytes = 0;
    int32_t ChunkRecords = 100;
    int32_t ElementSize;
    void* CurrentRaw() const { return Current; }
    uint8_t* Storage = nullptr;

    // Tests replace the allocator to see the failure path.
    static TAllocator Allocator;

protected:
    void** CurrentVar;
    void* Current = nullptr;
    TErrorSink OnError;

private:
    // The record at an index the caller has checked.
    uint8_t* Record(int32_t index) const {
        return Storage + static_cast<size_t>(index) * static_cast<size_t>(ElementSize);
    }
    int64_t WantedBytes(int64_t count) const;
    void SetCurrent(void* record);
    uint8_t* Obtain(int64_t bytes, const char* leadIn);
};

// The typed face of the list: T is one of the actor records.
template <class T>
class TDynaArray : public TDynaArrayBase {
public:
    TDynaArray(T** currentVar, TErrorSink onError)
        : TDynaArrayBase(sizeof(T), reinterpret_cast<void**>(&Slot), std::move(onError)), Owner(currentVar) {}

    T* Append() {
        auto* r = static_cast<T*>(AppendRaw());
        Mirror();
        return r;
    }
    T* AppendMany(int32_t count) {
        auto* r = static_cast<T*>(AppendManyRaw(count));
        Mirror();
        return r;
    }
    T* Select(int32_t index) {
        auto* r = static_cast<T*>(SelectRaw(index));
        Mirror();
        return r;
    }
    void Rewind() {
        TDynaArrayBase::Rewind();
        Mirror();
    }
    bool Next() {
        bool ok = TDynaArrayBase::Next();
        Mirror();
        return ok;
    }
    void Delete(int32_t index) {
        TDynaArrayBase::Delete(index);
        Mirror();
    }
    void Clear() {
        TDynaArrayBase::Clear();
        Mirror();
    }
    void Unselect() {
        TDynaArrayBase::Unselect();
        Mirror();
    }
    T* Current() const { return static_cast<T*>(CurrentRaw()); }
    T& operator[](int32_t index) { return reinterpret_cast<T*>(Storage)[index]; }
    const T& operator[](int32_t index) const { return reinterpret_cast<const T*>(Storage)[index]; }

private:
    void Mirror() {
        if (Owner) *Owner = static_cast<T*>(Slot);
    }
    void* Slot = nullptr;  // the base writes the current record here
    T** Owner;
};

}  // namespace blubbi
