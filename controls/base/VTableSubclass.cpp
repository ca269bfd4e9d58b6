#include "controls/base/VTableSubclass.h"

#include <algorithm>

#include "controls/base/ControlError.h"

namespace {

// Writes `value` into `slot`, keeping what was there in `old`. Function tables live in
// read-only memory, so the slot is made writable for the write and then protected as before.
// When the slot cannot be made writable it is left as it is and `old` reads 0 (not patched).
void PatchSlot(uintptr_t* slot, uintptr_t value, uintptr_t& old) {
    old = *slot;
    if (old == value) return;
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_EXECUTE_READWRITE, &protection)) {
        old = 0;
        return;
    }
    *slot = value;
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof(*slot), protection, &ignored);
}

}  // namespace

VTableSubclass::~VTableSubclass() {
    if (table_) UnSubclass();
}

void VTableSubclass::Subclass(const void* objectPointer, int32_t firstEntry, int32_t lastEntry,
                              std::span<const uintptr_t> newEntries) {
    if (!objectPointer || firstEntry < 1 || lastEntry < firstEntry) {
        ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    }
    // Patching anew must not lose what would put the former table back.
    if (table_) UnSubclass();
    table_ = *static_cast<uintptr_t* const*>(objectPointer);
    lastEntry_ = lastEntry;
    newEntries_.assign(static_cast<size_t>(lastEntry) + 1, 0);
    oldEntries_.assign(static_cast<size_t>(lastEntry) + 1, 0);
    const size_t first = static_cast<size_t>(firstEntry) - 1;
    // Never beyond entry `lastEntry`, however many replacements were given.
    const size_t end = std::min(static_cast<size_t>(lastEntry), first + newEntries.size());
    for (size_t slot = first; slot < end; ++slot) {
        newEntries_[slot] = newEntries[slot - first];
        if (newEntries_[slot]) PatchSlot(table_ + slot, newEntries_[slot], oldEntries_[slot]);
    }
}

size_t VTableSubclass::SlotOf(int32_t entry) const {
    if (entry < 1 || entry > lastEntry_ || oldEntries_.empty()) {
        ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
    }
    return static_cast<size_t>(entry) - 1;
}

bool VTableSubclass::SubclassEntry(int32_t entry) const {
    return oldEntries_[SlotOf(entry)] != 0;
}

void VTableSubclass::SubclassEntry(int32_t entry, bool value) {
    const size_t slot = SlotOf(entry);
    if (value == (oldEntries_[slot] != 0)) return;
    if (!table_) return;  // nothing is patched any more
    if (!value) {
        uintptr_t replaced = 0;
        PatchSlot(table_ + slot, oldEntries_[slot], replaced);
        oldEntries_[slot] = 0;
    } else if (newEntries_[slot]) {
        // An entry without a replacement stays as it is: writing its 0 would break the table.
        PatchSlot(table_ + slot, newEntries_[slot], oldEntries_[slot]);
    }
}

void VTableSubclass::RestoreAll() {
    for (size_t slot = 0; slot < oldEntries_.size(); ++slot) {
        if (!oldEntries_[slot]) continue;
        uintptr_t replaced = 0;
        PatchSlot(table_ + slot, oldEntries_[slot], replaced);
        oldEntries_[slot] = 0;
    }
}

void VTableSubclass::ReSubclass() {
    if (!table_) return;
    RestoreAll();
    for (size_t slot = 0; slot < newEntries_.size(); ++slot) {
        if (newEntries_[slot]) PatchSlot(table_ + slot, newEntries_[slot], oldEntries_[slot]);
    }
}

void VTableSubclass::UnSubclass() {
    if (!table_) return;
    RestoreAll();
    table_ = nullptr;
}
