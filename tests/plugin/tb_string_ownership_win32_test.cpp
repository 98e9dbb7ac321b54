// The in/out strings the plug-in replaces are freed, once: call after call, the
// process holds no more strings than before. Counted by a spy on COM's task
// allocator, with oleaut32's cache of freed strings switched off so that every
// free reaches it.
#include <windows.h>
#include <objidl.h>

#include <mutex>
#include <set>

#include <gtest/gtest.h>

#include "common/scope_exit.h"
#include "plugin_fixture_win32.h"

namespace tabulon::testing {
namespace {

using late_bound::Args;

// The task allocator's blocks made while it watches and not yet freed.
class LiveBlocks final : public IMallocSpy {
  public:
    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return live_.size();
    }

    // Lives as long as the test program: counting references would mean nothing.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_IMallocSpy) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* block) override { return Add(block); }
    STDMETHODIMP_(void*) PreFree(void* block, BOOL spied) override {
        return spied ? Remove(block) : block;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T)
    PreRealloc(void* block, SIZE_T size, void** request, BOOL spied) override {
        *request = spied ? Remove(block) : block;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* block, BOOL spied) override {
        return spied ? Add(block) : block;
    }
    STDMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int allocated) override { return allocated; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

  private:
    void* Add(void* block) {
        std::lock_guard lock(mutex_);
        if (block) live_.insert(block);
        return block;
    }
    void* Remove(void* block) {
        std::lock_guard lock(mutex_);
        live_.erase(block);
        return block;
    }

    std::mutex mutex_;
    std::set<void*> live_;
};

using StringOwnership = PluginTest;

TEST_F(StringOwnership, ReplacedInOutStringsAreFreed) {
    // Documented on Windows and honoured by Wine: freed strings then go back to
    // the allocator at once.
    using SetOaNoCacheFunction = void(WINAPI*)();
    const auto no_cache = reinterpret_cast<SetOaNoCacheFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32"), "SetOaNoCache")));
    ASSERT_NE(no_cache, nullptr);
    no_cache();

    static LiveBlocks spy;  // outlives the registration, which may outlast the test
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    const ScopeExit revoke([] { CoRevokeMallocSpy(); });

    ShowOneBrowserPage(u"Title", u"https://example.org/");
    StoreSetting(L"Show", u"2");
    const struct {
        const char* what;
        void (*call)(const late_bound::Object& plugin);
    } rows[] = {
        {"GetPublishInfo",
         [](const late_bound::Object& plugin) {
             Args args;
             LONG commands = 0, tags = 0;
             args.StringRef(args.Held(u"passed")).LongRef(&commands).LongRef(&tags);
             EXPECT_EQ(plugin.Call(L"GetPublishInfo", args).hr, S_OK);
         }},
        {"GetPublishCommandInfo",
         [](const late_bound::Object& plugin) {
             Args args;
             args.Long(1)
                 .StringRef(args.Held(u"name"))
                 .StringRef(args.Held(u"value"))
                 .StringRef(args.Held(u"help"));
             EXPECT_EQ(plugin.Call(L"GetPublishCommandInfo", args).hr, S_OK);
         }},
        {"ParseCommand /xweball",
         [](const late_bound::Object& plugin) {
             EXPECT_EQ(SendCommand(plugin, u"/xweball", u"passed by the host").outcome.hr, S_OK);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (int i = 0; i < 3; ++i) row.call(plugin_);  // first calls may fill caches that stay
        const std::size_t before = spy.Count();
        for (int i = 0; i < 10; ++i) row.call(plugin_);
        EXPECT_EQ(spy.Count(), before) << "strings left behind by 10 calls";
    }
}

}  // namespace
}  // namespace tabulon::testing
