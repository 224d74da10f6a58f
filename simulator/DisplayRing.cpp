#include "DisplayRing.h"

#include <algorithm>
#include <cstring>

DisplayRing::DisplayRing(size_t capacity) : m_records(std::max<size_t>(1, capacity)) {}

size_t DisplayRing::copyNewest(DisplayRecord* target, size_t count) const
{
    const size_t n = m_records.size();
    count = std::min(count, n);
    if (count == 0)
        return 0;
    const size_t first = (m_next + n - count) % n;
    const size_t firstPart = std::min(count, n - first);
    std::memcpy(target, &m_records[first], firstPart * sizeof(DisplayRecord));
    if (firstPart < count)
        std::memcpy(target + firstPart, &m_records[0], (count - firstPart) * sizeof(DisplayRecord));
    return count;
}

void DisplayRing::fillRepeating(const std::vector<DisplayRecord>& block)
{
    if (block.empty())
        return;
    const size_t n = m_records.size();
    const size_t b = block.size();
    // Align so that the block's last record lands on the newest slot.
    for (size_t i = 0; i < n; ++i)
        m_records[i] = block[(b - n % b + i) % b];
    m_next = 0;
}
