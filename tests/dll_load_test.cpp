// Loads the shared library by name at run time, as hosts do, resolves the
// four exports (by name, and on Windows also by ordinal) and codes a round
// trip through them.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

using EncodeFn = CodecResult (*)(const void*, std::int32_t, std::int32_t, std::int64_t, void*, std::int32_t);
using DecodeFn = CodecResult (*)(const void*, std::int32_t, std::int32_t, void*, std::int32_t);
using SetFn = std::int32_t (*)(double);
using GetFn = std::int32_t (*)(double*);

struct Library {
#if defined(_WIN32)
    HMODULE handle = LoadLibraryW(L"Reduct.dll");
    void* byName(const char* name) const {
        return reinterpret_cast<void*>(GetProcAddress(handle, name));
    }
    static std::string error() { return "error " + std::to_string(GetLastError()); }
    void* byOrdinal(int ordinal) const {
        return reinterpret_cast<void*>(GetProcAddress(handle, MAKEINTRESOURCEA(ordinal)));
    }
    ~Library() {
        if (handle != nullptr) FreeLibrary(handle);
    }
#else
    // The library beside the test program, as a host ships it. (A bare name
    // would depend on whose search path dlopen uses, which sanitizer
    // runtimes change.)
    void* handle = dlopen(besideProgram("libreduct.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    static std::string besideProgram(const char* name) {
        char buf[4096];
        const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        std::string path(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
        return path.substr(0, path.rfind('/') + 1) + name;
    }
    void* byName(const char* name) const { return dlsym(handle, name); }
    static const char* error() {
        const char* e = dlerror();
        return e != nullptr ? e : "";
    }
    ~Library() {
        if (handle != nullptr) dlclose(handle);
    }
#endif
};

template <typename Fn>
Fn as(void* p) {
    Fn f;
    static_assert(sizeof f == sizeof p);
    std::memcpy(&f, &p, sizeof f);
    return f;
}

void roundTrip(EncodeFn enc, DecodeFn dec) {
    const std::uint16_t words[] = {5, 5, 5, 0x8001, 9};
    std::uint8_t coded[32] = {}, back[32] = {};
    const CodecResult e = enc(words, sizeof words, CM_WORD16_RUN, 0, coded, sizeof coded);
    ASSERT_EQ(e.status, CODEC_OK);
    ASSERT_EQ(e.length, 4 + 4 + 2);
    const CodecResult d = dec(coded, e.length, CM_WORD16_RUN, back, sizeof back);
    ASSERT_EQ(d.status, CODEC_OK);
    ASSERT_EQ(d.length, static_cast<std::int32_t>(sizeof words));
    EXPECT_EQ(0, std::memcmp(back, words, sizeof words));
}

TEST(SharedLibrary, LoadsByNameAndResolvesTheFourExports) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << Library::error();
    auto enc = as<EncodeFn>(lib.byName("Encode"));
    auto dec = as<DecodeFn>(lib.byName("Decode"));
    auto set = as<SetFn>(lib.byName("SetMaxDeltaValue"));
    auto get = as<GetFn>(lib.byName("GetMaxDeltaValue"));
    ASSERT_NE(enc, nullptr);
    ASSERT_NE(dec, nullptr);
    ASSERT_NE(set, nullptr);
    ASSERT_NE(get, nullptr);
    roundTrip(enc, dec);
    EXPECT_EQ(set(2.5), 1);
    double v = 0;
    EXPECT_EQ(get(&v), 1);
    EXPECT_EQ(v, 2.5);
#if defined(_WIN32)
    // Ordinals 1 Decode, 2 Encode, 3 GetMaxDeltaValue, 4 SetMaxDeltaValue.
    EXPECT_EQ(lib.byOrdinal(1), reinterpret_cast<void*>(dec));
    EXPECT_EQ(lib.byOrdinal(2), reinterpret_cast<void*>(enc));
    EXPECT_EQ(lib.byOrdinal(3), reinterpret_cast<void*>(get));
    EXPECT_EQ(lib.byOrdinal(4), reinterpret_cast<void*>(set));
    roundTrip(as<EncodeFn>(lib.byOrdinal(2)), as<DecodeFn>(lib.byOrdinal(1)));
    EXPECT_EQ(lib.byOrdinal(5), lib.byName("EncodeBound"));
#endif
    using BoundFn = std::int64_t (*)(std::int32_t, std::int32_t);
    auto bound = as<BoundFn>(lib.byName("EncodeBound"));
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound(CM_WORD16_RUN, 10), 20);
}

TEST(SharedLibrary, ExportsNothingButTheContract) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr);
    // Internal coders stay hidden.
    EXPECT_EQ(lib.byName("_ZN6reduct15EncodeWord16RunERKNS_12CodecContextE"), nullptr);
}

}  // namespace
