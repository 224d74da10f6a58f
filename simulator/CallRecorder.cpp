#include "CallRecorder.h"

#include <ostream>

void CallRecorder::clear()
{
    m_counts.clear();
    m_countsByArgument.clear();
    clearFailures();
}

void CallRecorder::clearFailures()
{
    m_failCall.clear();
    m_failOpen.clear();
    m_shortRead.clear();
    m_failIoctl.clear();
    m_shortBuffer = 0;
}

std::optional<int> CallRecorder::enter(const char* function, std::optional<long> firstArgument)
{
    const std::string name(function);
    ++m_counts[name];
    if (firstArgument)
        ++m_countsByArgument[{name, *firstArgument}];
    return find(m_failCall, name);
}

int CallRecorder::count(const std::string& function) const { return find(m_counts, function).value_or(0); }

int CallRecorder::count(const std::string& function, long firstArgument) const
{
    const auto it = m_countsByArgument.find({function, firstArgument});
    return it == m_countsByArgument.end() ? 0 : it->second;
}

void CallRecorder::writeReport(std::ostream& out) const
{
    for (const auto& [name, n] : m_counts)
        out << name << ' ' << n << '\n';
    for (const auto& [key, n] : m_countsByArgument)
        out << key.first << '(' << key.second << ") " << n << '\n';
}
