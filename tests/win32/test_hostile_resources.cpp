// Damaged built-in programs: bytes of this program's own RCDATA resources (the installer's resource object) are
// flipped or cut short in memory, and a whole installation runs. It must end on the End page as the built-in
// program steps say: a damaged program is swallowed, its file stays as far as it was written, the others are
// whole. Never a crash, never a hang.
#include "test_engine_support.h"

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "builtin/BlockCodec.h"
#include "builtin/ResourceFiles.h"

namespace {

// One resource of the running module, writable in place: its bytes and the size the resource directory gives.
class TResourcePatch {
public:
    explicit TResourcePatch(const char* name)
    {
        const HRSRC info = FindResourceW(nullptr, Widen(name).c_str(), MAKEINTRESOURCEW(10));
        if (!info) return;
        // A resource handle is the directory's data entry: the size the loader reports lives there.
        FEntry = reinterpret_cast<IMAGE_RESOURCE_DATA_ENTRY*>(info);
        const auto base = reinterpret_cast<std::uint8_t*>(GetModuleHandleW(nullptr));
        FData = base + FEntry->OffsetToData;
        HGLOBAL loaded = LoadResource(nullptr, info);
        if (LockResource(loaded) != FData || SizeofResource(nullptr, info) != FEntry->Size) {
            FEntry = nullptr;
            return;
        }
        FOriginal.assign(FData, FData + FEntry->Size);
        Unlock(FEntry, sizeof *FEntry);
        Unlock(FData, FOriginal.size());
    }
    ~TResourcePatch() { Restore(); }
    TResourcePatch(const TResourcePatch&) = delete;
    TResourcePatch& operator=(const TResourcePatch&) = delete;

    bool Valid() const { return FEntry != nullptr && !FOriginal.empty(); }
    std::size_t OriginalSize() const { return FOriginal.size(); }
    void Flip(std::size_t at, std::uint8_t mask) { FData[at] ^= mask; }
    void Fill(std::size_t at, std::size_t count, std::uint8_t value) { std::memset(FData + at, value, count); }
    void Truncate(std::size_t size) { FEntry->Size = static_cast<DWORD>(size); }
    std::vector<std::uint8_t> Current() const { return {FData, FData + FEntry->Size}; }
    void Restore()
    {
        if (!Valid()) return;
        std::memcpy(FData, FOriginal.data(), FOriginal.size());
        FEntry->Size = static_cast<DWORD>(FOriginal.size());
    }

private:
    static void Unlock(void* at, std::size_t size)
    {
        DWORD old = 0;
        VirtualProtect(at, size, PAGE_READWRITE, &old);
    }

    IMAGE_RESOURCE_DATA_ENTRY* FEntry = nullptr;
    std::uint8_t* FData = nullptr;
    std::vector<std::uint8_t> FOriginal;
};

struct TDamage {
    const char* Name;
    std::function<void(TResourcePatch&)> Apply;
};

// Cuts and flips in each part of a block: the code table at the start, the data after it, near its end.
const std::vector<TDamage>& Damages()
{
    static const std::vector<TDamage> list = {
        {"Empty", [](TResourcePatch& p) { p.Truncate(0); }},
        {"OneByte", [](TResourcePatch& p) { p.Truncate(1); }},
        {"CutInTheTable", [](TResourcePatch& p) { p.Truncate(20); }},
        {"CutInHalf", [](TResourcePatch& p) { p.Truncate(p.OriginalSize() / 2); }},
        {"LastByteMissing", [](TResourcePatch& p) { p.Truncate(p.OriginalSize() - 1); }},
        {"TableBitFlipped", [](TResourcePatch& p) { p.Flip(3, 0x10); }},
        {"DataByteFlipped", [](TResourcePatch& p) { p.Flip(p.OriginalSize() / 3, 0xFF); }},
        {"FlippedNearTheEnd", [](TResourcePatch& p) { p.Flip(p.OriginalSize() - 8, 0xFF); }},
        {"BurstOfOnes", [](TResourcePatch& p) { p.Fill(p.OriginalSize() / 2, 64, 0xFF); }},
        {"AllZero", [](TResourcePatch& p) { p.Fill(0, p.OriginalSize(), 0x00); }},
    };
    return list;
}

// What the file of a damaged resource holds: the decoded bytes when the block still decodes, otherwise nothing.
std::string Expected(const std::vector<std::uint8_t>& block)
{
    CodecState s;
    if (DecodeBlock(s, block.data(), block.size(), kResourceCapacity) != CodecResult::Ok) return {};
    return std::string(s.A.begin(), s.A.begin() + s.OutputCount);
}

struct TCase {
    const ResourceFileEntry* Entry;
    const TDamage* Damage;
};

void PrintTo(const TCase& c, std::ostream* os)
{
    *os << c.Entry->FirstResource << " " << c.Damage->Name;
}

std::vector<TCase> Cases()
{
    std::vector<TCase> cases;
    for (const ResourceFileEntry& e : kResourceFiles)
        for (const TDamage& d : Damages()) cases.push_back({&e, &d});
    return cases;
}

} // namespace

// The installation of the engine's tests: a small CD on D:, a target folder of its own.
class DamagedResource : public EngineTest, public ::testing::WithParamInterface<TCase> {};

TEST_P(DamagedResource, InstallationEndsAndKeepsTheFileAsFarAsWritten)
{
    const ResourceFileEntry& entry = *GetParam().Entry;
    const std::wstring programs = BuildFolder(L"WERB_PROGRAMS");
    ASSERT_FALSE(programs.empty()) << "WERB_PROGRAMS is not set";
    TResourcePatch patch(entry.FirstResource);
    ASSERT_TRUE(patch.Valid()) << entry.FirstResource << " cannot be patched in place";
    GetParam().Damage->Apply(patch);
    const std::string expected = Expected(patch.Current());

    Install();
    ASSERT_FALSE(HasFatalFailure());
    patch.Restore();

    EXPECT_TRUE(frmMain->FSukces) << "a damaged program is swallowed";
    EXPECT_EQ(frmMain->lblKoniec.Caption(), PobierzTekst(frmMain->FJezyk, txtDoneOk));
    EXPECT_FALSE(frmMain->FPrzerwano);
    for (const ResourceFileEntry& e : kResourceFiles) {
        const std::wstring name = Widen(e.TargetName);
        const auto installed = ReadBytes(Target(name));
        ASSERT_TRUE(installed) << e.TargetName << " was not written";
        if (&e == &entry) {
            EXPECT_EQ(installed->size(), expected.size()) << e.TargetName;
            EXPECT_TRUE(*installed == expected) << e.TargetName << " is not what its damaged block decodes to";
        } else {
            EXPECT_TRUE(installed == ReadBytes(programs + name)) << e.TargetName << " differs from its program";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, DamagedResource, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TCase>& info) {
                             return std::string(info.param.Entry->FirstResource) + "_" + info.param.Damage->Name;
                         });

// The damage is real: each kind of damage makes the main program's block fail or decode to other bytes.
TEST(DamagedResourceCheck, EveryDamageChangesWhatTheMainProgramDecodesTo)
{
    TResourcePatch patch(kMainProgramResource);
    ASSERT_TRUE(patch.Valid());
    const std::string intact = Expected(patch.Current());
    ASSERT_FALSE(intact.empty()) << "the intact block does not decode";
    for (const TDamage& d : Damages()) {
        d.Apply(patch);
        EXPECT_TRUE(Expected(patch.Current()) != intact) << d.Name << " leaves the program as it was";
        patch.Restore();
    }
    EXPECT_TRUE(Expected(patch.Current()) == intact) << "the patch was not undone";
}
