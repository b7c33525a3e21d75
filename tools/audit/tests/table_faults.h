#pragma once
// The physicist's small tables (measured output and HVL, reference levels) fail alike: each fault
// names its line, column and value. One table row a fault, checked the same way for each reader.
#include "kv/audit/measured.h"

#include <functional>
#include <gtest/gtest.h>
#include <span>
#include <string>

namespace kv::audit::test {

struct TableFault {
    const char* name;
    std::string text;
    MeasuredFault fault;
    int line;
    const char* column;
    const char* value;
};

// parse(text, file) must refuse each case's text with its fault, line, column and value.
inline void expectTableFaults(std::span<const TableFault> cases, const std::string& file,
                              const std::function<void(const std::string&, const std::string&)>& parse) {
    for (const TableFault& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parse(c.text, file);
            ADD_FAILURE() << "accepted";
        } catch (const MeasuredError& e) {
            EXPECT_EQ(e.fault, c.fault);
            EXPECT_EQ(e.line, c.line);
            EXPECT_EQ(e.column, c.column);
            EXPECT_EQ(e.value, c.value);
            EXPECT_EQ(e.file, file);
        }
    }
}

} // namespace kv::audit::test
