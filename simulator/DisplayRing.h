#pragma once
// The display stream's ring of records. It is always full: at start it holds a
// history, and every new record replaces the oldest.
#include <cstddef>
#include <vector>

#include "VornRecords.h"

class DisplayRing
{
public:
    explicit DisplayRing(size_t capacity);

    size_t capacity() const { return m_records.size(); }

    // The slot of the next record, to be filled in place.
    DisplayRecord& append()
    {
        DisplayRecord& slot = m_records[m_next];
        if (++m_next == m_records.size())
            m_next = 0;
        return slot;
    }
    // age 0 is the newest record
    const DisplayRecord& newest(size_t age = 0) const
    {
        const size_t n = m_records.size();
        return m_records[(m_next + n - 1 - age % n) % n];
    }

    // Copies the newest `count` records (at most the capacity), oldest first;
    // returns how many.
    size_t copyNewest(DisplayRecord* target, size_t count) const;
    // Fills the whole ring by repeating `block`, its last record the newest.
    void fillRepeating(const std::vector<DisplayRecord>& block);

private:
    std::vector<DisplayRecord> m_records;
    size_t m_next = 0;  // oldest record, overwritten next
};
