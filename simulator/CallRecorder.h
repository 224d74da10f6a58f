#pragma once
// Call counts and injected failures of the simulated library and devices.
#include <cstddef>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <utility>

class CallRecorder
{
public:
    void clear();          // counts and failures
    void clearFailures();  // failures only

    // Counts a call; returns the injected result when the function is set to fail.
    std::optional<int> enter(const char* function, std::optional<long> firstArgument);
    int count(const std::string& function) const;
    int count(const std::string& function, long firstArgument) const;
    // One line per function ("name count") and per first argument ("name(arg) count").
    void writeReport(std::ostream& out) const;

    void failCall(const std::string& function, int result) { m_failCall[function] = result; }
    void clearFailure(const std::string& function) { m_failCall.erase(function); }

    void failOpen(const std::string& path, int error) { m_failOpen[path] = error; }
    void shortRead(const std::string& path, size_t missing) { m_shortRead[path] = missing; }
    void failIoctl(const std::string& path, int error) { m_failIoctl[path] = error; }
    void shortBuffer(int missing) { m_shortBuffer = missing; }

    std::optional<int> openError(const std::string& path) const { return find(m_failOpen, path); }
    std::optional<int> ioctlError(const std::string& path) const { return find(m_failIoctl, path); }
    size_t readShortfall(const std::string& path) const { return find(m_shortRead, path).value_or(0); }
    int bufferShortfall() const { return m_shortBuffer; }

private:
    template <typename Map>
    static std::optional<typename Map::mapped_type> find(const Map& map, const std::string& key)
    {
        const auto it = map.find(key);
        if (it == map.end())
            return std::nullopt;
        return it->second;
    }

    std::map<std::string, int> m_counts;
    std::map<std::pair<std::string, long>, int> m_countsByArgument;
    std::map<std::string, int> m_failCall;
    std::map<std::string, int> m_failOpen;
    std::map<std::string, size_t> m_shortRead;
    std::map<std::string, int> m_failIoctl;
    int m_shortBuffer = 0;
};
