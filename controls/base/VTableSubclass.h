// VTableSubclass: replaces chosen entries of a COM object's function table and puts the
// former ones back.
//
// A function table belongs to a whole class of objects: every object sharing it sees the
// replacements until they are put back. Entries are numbered from 1 (entry 1 is
// QueryInterface); each is one pointer wide. Patch and restore only on the user-interface
// thread while no call through the table is in progress.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

class VTableSubclass {
public:
    VTableSubclass() = default;
    ~VTableSubclass();  // puts back whatever is still patched
    VTableSubclass(const VTableSubclass&) = delete;
    VTableSubclass& operator=(const VTableSubclass&) = delete;

    // A usage count for the owners of a shared patch; nothing here acts on it.
    int32_t RefCount() const { return refCount_; }
    int32_t AddRef() { return ++refCount_; }
    int32_t Release() { return --refCount_; }

    // Patches the function table of the object at `objectPointer`: entry firstEntry + k gets
    // newEntries[k] for each k, up to entry `lastEntry`; a 0 in newEntries leaves that entry
    // alone. Tables patched before by this object are put back first. Raises error 5 for a
    // null object or an entry range that is empty or starts below 1.
    void Subclass(const void* objectPointer, int32_t firstEntry, int32_t lastEntry,
                  std::span<const uintptr_t> newEntries);

    // Whether `entry` carries its replacement now. Raises error 9 outside 1..lastEntry.
    bool SubclassEntry(int32_t entry) const;
    // Puts the former function of `entry` back (false) or the replacement again (true), so a
    // replacement can call the function it replaced. Raises error 9 outside 1..lastEntry.
    void SubclassEntry(int32_t entry, bool value);

    // Puts every replacement back on top, for when another component patched the same
    // entries since.
    void ReSubclass();
    // Puts every former function back and forgets the table.
    void UnSubclass();

    // The patched table; nullptr when nothing is patched.
    const void* TableAddress() const { return reinterpret_cast<const void*>(table_); }

private:
    size_t SlotOf(int32_t entry) const;
    void RestoreAll();

    int32_t refCount_ = 0;
    int32_t lastEntry_ = 0;
    uintptr_t* table_ = nullptr;
    std::vector<uintptr_t> newEntries_;  // by slot (entry - 1); 0 = not replaced
    std::vector<uintptr_t> oldEntries_;  // by slot; 0 = not patched now
};
