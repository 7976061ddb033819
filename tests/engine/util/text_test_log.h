#pragma once
// Points the process log at a file of the test's own, for tests that check
// what was logged.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/util/a_log.h"
#include "support/test_env.h"

class TestLog {
public:
    TestLog() : m_path(test_env::home() + "/text_test.log")
    {
        a_closeLog();
        g_logFile = std::fopen(m_path.c_str(), "w");
        EXPECT_NE(g_logFile, nullptr);
    }
    ~TestLog() { a_closeLog(); }
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    // Messages without their time stamps.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const std::string& line : test_env::readLines(m_path)) {
            const std::size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return out;
    }
    std::size_t count(const std::string& text) const
    {
        std::size_t n = 0;
        for (const std::string& line : lines())
            n += line.find(text) != std::string::npos;
        return n;
    }

private:
    std::string m_path;
};
