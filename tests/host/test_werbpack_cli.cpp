// Tests of the werbpack command line: the real binary, run in a temporary folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Result {
    int Status = -1;
    std::string Out, Err;
};

int LineCount(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n')) + (!s.empty() && s.back() != '\n' ? 1 : 0);
}

class WerbpackCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/werbpack-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FDir = pattern;
    }
    void TearDown() override { fs::remove_all(FDir); }

    std::string At(const std::string& name) const { return (FDir / name).string(); }

    Result Werbpack(const std::string& args) const {
        const std::string command =
            "'" WERBPACK_PATH "' " + args + " >'" + At(".stdout") + "' 2>'" + At(".stderr") + "'";
        const int raw = std::system(command.c_str());
        Result r;
        r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.Out = ReadText(".stdout");
        r.Err = ReadText(".stderr");
        return r;
    }

    void Write(const std::string& name, const Bytes& data) const {
        std::ofstream(At(name), std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                        static_cast<std::streamsize>(data.size()));
    }
    Bytes Read(const std::string& name) const {
        std::ifstream f(At(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    std::string ReadText(const std::string& name) const {
        const Bytes b = Read(name);
        return std::string(b.begin(), b.end());
    }
    // Anything werbpack may have left behind for OUT, its temporary file included.
    bool AnyOutput(const std::string& out) const {
        for (const auto& e : fs::directory_iterator(FDir))
            if (e.path().filename().string().rfind(out, 0) == 0) return true;
        return false;
    }

    fs::path FDir;
};

Bytes Sample(std::size_t size) {
    std::mt19937 rnd(8);
    Bytes b;
    const char* const words[] = {"Werbika ", "plik ", "fichier ", "\r\n", "0x00401000 "};
    while (b.size() < size)
        for (const char* c = words[rnd() % 5]; *c; ++c) b.push_back(static_cast<std::uint8_t>(*c));
    b.resize(size);
    return b;
}

TEST_F(WerbpackCli, PackThenUnpackGivesTheInputBack) {
    const Bytes input = Sample(50000);
    Write("in.txt", input);
    Result r = Werbpack("pack '" + At("in.txt") + "' '" + At("in.blk") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(LineCount(r.Out), 1) << r.Out;
    EXPECT_NE(r.Out.find("50000 bytes"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("ratio"), std::string::npos) << r.Out;
    EXPECT_LT(Read("in.blk").size(), input.size() / 2);

    r = Werbpack("unpack '" + At("in.blk") + "' '" + At("back.txt") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(LineCount(r.Out), 1) << r.Out;
    EXPECT_EQ(Read("back.txt"), input);
}

TEST_F(WerbpackCli, FastPackingRoundTripsAndTheDefaultIsNeverLarger) {
    fs::copy_file("/proc/self/exe", At("whole.exe"));
    Bytes part = Read("whole.exe");
    part.resize(std::min<std::size_t>(part.size(), 1 << 20));
    Write("prog.exe", part);
    Result r = Werbpack("pack --fast '" + At("prog.exe") + "' '" + At("fast.blk") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Werbpack("pack '" + At("prog.exe") + "' '" + At("best.blk") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_LE(Read("best.blk").size(), Read("fast.blk").size());
    r = Werbpack("unpack --capacity 100000000 '" + At("fast.blk") + "' '" + At("back.exe") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Read("back.exe") == Read("prog.exe"));
}

TEST_F(WerbpackCli, RoundTripsARealExecutableWithItsSizeAsCapacity) {
    fs::copy_file("/proc/self/exe", At("prog.exe"));
    const Bytes exe = Read("prog.exe");
    ASSERT_GT(exe.size(), 1000000u);
    const std::string capacity = " --capacity " + std::to_string(exe.size()) + " ";
    // The fast parse: the best one takes seconds on a file this large.
    Result r = Werbpack("pack --fast" + capacity + "'" + At("prog.exe") + "' '" + At("prog.blk") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Werbpack("unpack" + capacity + "'" + At("prog.blk") + "' '" + At("prog.back") + "'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Read("prog.back") == exe);

    // One byte less of capacity is refused both ways.
    const std::string less = " --capacity " + std::to_string(exe.size() - 1) + " ";
    r = Werbpack("pack" + less + "'" + At("prog.exe") + "' '" + At("out.blk") + "'");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("capacity"), std::string::npos) << r.Err;
    r = Werbpack("unpack" + less + "'" + At("prog.blk") + "' '" + At("out.exe") + "'");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("exceeds the capacity"), std::string::npos) << r.Err;
    EXPECT_FALSE(AnyOutput("out"));
}

TEST_F(WerbpackCli, EveryBadInputFailsWithOneLineAndNoOutput) {
    Write("empty", {});
    Write("text", Sample(3000));
    ASSERT_EQ(Werbpack("pack '" + At("text") + "' '" + At("good.blk") + "'").Status, 0);
    const Bytes good = Read("good.blk");
    Write("cut.blk", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)));
    fs::create_directory(At("folder"));

    const struct {
        std::string Args;
        std::string Says; // part of the message
    } cases[] = {
        {"pack '" + At("empty") + "' '" + At("out") + "'", At("empty") + "' is empty"},
        {"unpack '" + At("empty") + "' '" + At("out") + "'", "is empty"},
        {"pack '" + At("missing") + "' '" + At("out") + "'", "cannot read '" + At("missing") + "': No such file"},
        {"pack '" + At("folder") + "' '" + At("out") + "'", "cannot read '" + At("folder") + "'"},
        {"unpack '" + At("cut.blk") + "' '" + At("out") + "'", At("cut.blk") + "': the block is truncated"},
        {"unpack '" + At("text") + "' '" + At("out") + "'", "cannot unpack '" + At("text") + "': "},
        {"unpack --capacity 100 '" + At("good.blk") + "' '" + At("out") + "'", "exceeds the capacity of 100"},
        {"pack --capacity 2999 '" + At("text") + "' '" + At("out") + "'", "more than the capacity of 2999"},
        {"pack '" + At("text") + "' '" + At("no/such/dir/out") + "'", "cannot write"},
        {"frobnicate '" + At("text") + "' '" + At("out") + "'", "unknown command 'frobnicate'"},
        {"pack '" + At("text") + "'", "needs IN and OUT"},
        {"pack '" + At("text") + "' '" + At("out") + "' '" + At("out2") + "'", "needs IN and OUT"},
        {"pack --capacity abc '" + At("text") + "' '" + At("out") + "'", "bad capacity 'abc'"},
        {"pack --capacity 0 '" + At("text") + "' '" + At("out") + "'", "bad capacity '0'"},
        {"pack --capacity 99999999999999999999 '" + At("text") + "' '" + At("out") + "'", "bad capacity"},
        {"unpack '" + At("good.blk") + "' '" + At("out") + "' --capacity", "--capacity needs"},
        {"unpack --fast '" + At("good.blk") + "' '" + At("out") + "'", "unknown option '--fast'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const Result r = Werbpack(c.Args);
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(LineCount(r.Err), 1) << r.Err;
        EXPECT_EQ(r.Err.rfind("werbpack: ", 0), 0u) << r.Err;
        EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(AnyOutput("out"));
    }
}

TEST_F(WerbpackCli, AFailureLeavesAnExistingOutUntouched) {
    Write("junk.blk", Bytes(100, 0xFF));
    Write("out.bin", {1, 2, 3});
    const Result r = Werbpack("unpack '" + At("junk.blk") + "' '" + At("out.bin") + "'");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(Read("out.bin"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(fs::exists(At("out.bin.werbpack-tmp")));
}

TEST_F(WerbpackCli, NoArgumentsPrintsTheUsage) {
    const Result r = Werbpack("");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("usage: werbpack pack [--fast] [--capacity N] IN OUT"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("werbpack unpack"), std::string::npos) << r.Err;
}

} // namespace
