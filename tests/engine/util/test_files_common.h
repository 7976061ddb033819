#pragma once
// Shared fixture of the file-layer tests: a file server, a private log, and
// the temporary folder ("temp:" = $TMPDIR) where fixtures are made.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "support/test_env.h"
#include "support/zip_writer.h"

class FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_fileServer, nullptr);
        m_logPath = test_env::home() + "/files.log";
        a_closeLog();
        g_logFile = std::fopen(m_logPath.c_str(), "w");
        ASSERT_NE(g_logFile, nullptr);
        m_server = std::make_unique<aFileServer>();
        m_temp = m_server->getAssign("temp");
        ASSERT_EQ(m_temp, test_env::home() + "/tmp/");
    }
    void TearDown() override
    {
        m_server.reset();
        a_closeLog();
    }

    // Log lines without their time stamps.
    std::vector<std::string> messages() const
    {
        std::fflush(g_logFile);
        std::vector<std::string> out;
        for (const std::string& line : test_env::readLines(m_logPath)) {
            const std::size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return out;
    }
    std::size_t countMessages(const std::string& part) const
    {
        std::size_t n = 0;
        for (const std::string& m : messages())
            n += m.find(part) != std::string::npos;
        return n;
    }

    // A file under the temporary folder, written directly (not through the
    // layer under test).
    void put(const std::string& rel, const std::string& text) const { test_env::writeFile(m_temp + rel, text); }
    void putZip(const std::string& rel, const std::vector<zip_writer::Entry>& entries) const
    {
        ASSERT_TRUE(zip_writer::writeZip(m_temp + rel, entries));
    }

    // The whole file through file_readFullAndMalloc; "<null>" for a null
    // result. size receives the reported size.
    static std::string read(const std::string& path, std::uint32_t* size = nullptr)
    {
        std::uint32_t n = 12345;
        std::uint8_t* data = file_readFullAndMalloc(path, &n);
        if (size)
            *size = n;
        if (!data)
            return "<null>";
        std::string out(reinterpret_cast<const char*>(data), n);
        std::free(data);
        return out;
    }

    std::unique_ptr<aFileServer> m_server;
    std::string m_logPath;
    std::string m_temp;
};
