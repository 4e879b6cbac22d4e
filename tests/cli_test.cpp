// The `reduct` tool end to end: files in, files out, exit codes and messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "samples.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("reduct-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Runs `reduct ARGS` in the test folder; returns the exit code and keeps
    // standard error in err_.
    int run(const std::string& args) {
        const std::string errFile = path("stderr.txt");
        const std::string cmd = "cd '" + dir_.string() + "' && '" REDUCT_CLI "' " + args + " > '" + path("stdout.txt") +
                                "' 2> '" + errFile + "'";
        const int status = std::system(cmd.c_str());
        err_ = read(errFile);
        out_ = read(path("stdout.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string read(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static void write(const std::string& p, const std::string& data) {
        std::ofstream f(p, std::ios::binary);
        f << data;
    }
    static std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }

    fs::path dir_;
    std::string err_, out_;
};

TEST_F(Cli, RawFilesRoundTripThroughEveryBuiltMethodOfTheirKind) {
    using reduct::samples::Kind;
    const struct {
        Kind kind;
        const char* type;
    } kinds[] = {{Kind::Word16, "u16"}, {Kind::Int32, "i32"}, {Kind::Float32, "f32"}, {Kind::Float64, "f64"},
                 {Kind::Time, "time"}, {Kind::Flags, "flag"}};
    for (const auto& k : kinds) {
        const auto s = reduct::samples::generate(k.kind, 0.005);
        write(path("in.bin"), str(s.bytes));
        for (int m : reduct::samples::methodsFor(k.kind)) {
            SCOPED_TRACE(std::string(k.type) + " method " + std::to_string(m));
            const int rc = run("encode -f -m " + std::to_string(m) + " --type " + k.type + " in.bin -o c.rdc");
            if (rc != 0 && err_.find("not in this build") != std::string::npos) continue;
            ASSERT_EQ(rc, 0) << err_;
            ASSERT_EQ(run("decode -f c.rdc -o back.bin"), 0) << err_;
            const bool lossy = m == 0 || m == 5 || m == 6 || m == 7;
            if (!lossy) {
                EXPECT_EQ(read(path("back.bin")), str(s.bytes));
            }
            EXPECT_EQ(read(path("back.bin")).size(), s.bytes.size());
        }
    }
}

TEST_F(Cli, BareStreamsMatchTheLibrary) {
    write(path("w.bin"), std::string("\x05\x00\x05\x00\x05\x00", 6));
    ASSERT_EQ(run("encode --raw -m CM_WORD16_RUN w.bin -o w.m2"), 0) << err_;
    EXPECT_EQ(read(path("w.m2")), std::string("\x03\x80\x05\x00", 4));
    ASSERT_EQ(run("decode --raw -m 2 w.m2 -o w.back"), 0) << err_;
    EXPECT_EQ(read(path("w.back")), read(path("w.bin")));
    EXPECT_EQ(run("decode --raw w.m2"), 2) << "a bare stream needs its method";
}

TEST_F(Cli, CsvColumnsByNumberOrHeaderName) {
    write(path("d.csv"), "time;level;count\n# a comment\n2026-12-11T00:00:00Z;1.5;7\n1796947201.5;2.5;7\n\n"
                         "2026-12-11 00:00:02.250;3;9\n");
    ASSERT_EQ(run("encode -m 2 --type u16 --column count d.csv -o c.rdc"), 0) << err_;
    ASSERT_EQ(run("decode c.rdc -o c.bin"), 0) << err_;
    EXPECT_EQ(read(path("c.bin")), std::string("\x07\x00\x07\x00\x09\x00", 6));
    ASSERT_EQ(run("encode -m 2 --type time --column 1 d.csv -o t.rdc"), 0) << err_;
    ASSERT_EQ(run("decode t.rdc -o t.bin"), 0) << err_;
    // 1796947200 s + 0 ms, + 1 s 500 ms, + 2 s 250 ms.
    EXPECT_EQ(read(path("t.bin")), std::string("\x00\x3D\x1B\x6B\x00\x00"
                                               "\x01\x3D\x1B\x6B\xF4\x01"
                                               "\x02\x3D\x1B\x6B\xFA\x00", 18));
}

TEST_F(Cli, CsvErrorsNameTheFileAndLine) {
    const struct {
        const char* text;
        const char* args;
        const char* message;
    } cases[] = {
        {"v\n1\n2\nabc\n", "--type u16", "bad.csv:4: column 1: 'abc' is not a whole number"},
        {"1,2\n3\n", "--type u16 --column 2", "bad.csv:2: has 1 column(s); column 2 wanted"},
        {"a,b\n1,2\n", "--type u16 --column c", "bad.csv:1: no column named 'c' in the header"},
        {"70000\n", "--type u16", "bad.csv:1: column 1: '70000' is outside -32768..65535"},
        {"# nothing\n", "--type f32", "bad.csv: no samples found"},
    };
    for (const auto& c : cases) {
        write(path("bad.csv"), c.text);
        EXPECT_EQ(run(std::string("encode -f -m 2 ") + c.args + " bad.csv -o out.rdc"), 1);
        EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(path("out.rdc"))) << "no output after a failure";
    }
}

TEST_F(Cli, DamagedFilesAreRefusedAndLeaveNoOutput) {
    const auto s = reduct::samples::generate(reduct::samples::Kind::Word16, 0.002);
    write(path("in.bin"), str(s.bytes));
    ASSERT_EQ(run("encode -m 2 in.bin -o c.rdc"), 0) << err_;
    const std::string good = read(path("c.rdc"));
    const struct {
        std::string data;
        const char* message;
    } cases[] = {
        {good.substr(0, good.size() - 3), "truncated"},
        {good + "x", "bytes follow the coded stream"},
        {"RDCT", "not a reduct file"},
        {std::string("RDCT\x07") + good.substr(5), "format version 7 is not supported"},
        {good.substr(0, 30) + char(good[30] ^ 0x01) + good.substr(31), "damaged"},
    };
    for (const auto& c : cases) {
        write(path("bad.rdc"), c.data);
        EXPECT_EQ(run("decode bad.rdc -o out.bin"), 1);
        EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
        EXPECT_NE(err_.find("bad.rdc"), std::string::npos) << "the message names the file";
        EXPECT_FALSE(fs::exists(path("out.bin")));
    }
}

TEST_F(Cli, RefusesToReplaceFilesWithoutForceAndReportsUsageErrors) {
    write(path("in.bin"), std::string("\x01\x00\x02\x00", 4));
    ASSERT_EQ(run("encode -m 2 in.bin"), 0) << err_;
    EXPECT_TRUE(fs::exists(path("in.bin.rdc")));
    EXPECT_EQ(run("encode -m 2 in.bin"), 1);
    EXPECT_NE(err_.find("exists (use -f"), std::string::npos) << err_;
    EXPECT_EQ(run("encode -m 2 -f in.bin"), 0) << err_;
    EXPECT_EQ(run("encode -m 14 in.bin"), 2);
    EXPECT_EQ(run("encode in.bin"), 2);
    EXPECT_EQ(run("frobnicate"), 2);
    EXPECT_EQ(run("encode -m 2 missing.bin"), 1);
    EXPECT_NE(err_.find("missing.bin: cannot open"), std::string::npos) << err_;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out_.find("analyze IN --type T"), std::string::npos);
}

TEST_F(Cli, AnalyzeRecommendsALosslessMethod) {
    std::string csv = "pressure\n";
    for (int i = 0; i < 3000; ++i) csv += std::to_string(1000 + (i / 10) % 7) + "\n";
    write(path("p.csv"), csv);
    ASSERT_EQ(run("analyze p.csv --type u16 --min-time 0.001"), 0) << err_;
    EXPECT_NE(out_.find("recommended: method"), std::string::npos) << out_;
    EXPECT_NE(out_.find(", lossless"), std::string::npos) << out_;
    EXPECT_NE(out_.find("zlib level 6"), std::string::npos) << out_;
}

}  // namespace
