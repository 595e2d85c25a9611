// The decisions of the low-level hook, without a hook: what it takes from the focused program
// and which keyboard message it posts to the hooked window for each key.
#include "keyhook/HookMessage_win.h"
#include "keyhook/LowLevelKeyRouter_win.h"
#include "KeyMessageNames.h"
#include "WinTest.h"

#include <string>
#include <vector>

using namespace zelk;

namespace {

struct Step
{
    const char *key; // "Alt", "AltGr", "F12", "F10", "Shift", "Control", "A"
    bool release;
};

unsigned virtualKeyOf(const std::string &name)
{
    if (name == "Alt")
        return VK_LMENU;
    if (name == "AltGr")
        return VK_RMENU;
    if (name == "F12")
        return VK_F12;
    if (name == "F10")
        return VK_F10;
    if (name == "Shift")
        return VK_LSHIFT;
    if (name == "Control")
        return VK_LCONTROL;
    return 'A';
}

// One routed step as text: "take", then what was posted, e.g. "take SYSKEYDOWN F12 alt".
std::string describe(const LowLevelKeyDecision &decision)
{
    std::string text = decision.take ? "take" : "pass";
    if (decision.post) {
        const auto bits = static_cast<unsigned>(decision.post->lParam);
        text += std::string(" ") + wintest::messageName(decision.post->message) + " "
                + wintest::keyName(decision.post->virtualKey);
        if (bits & hookmessage::kContextBit)
            text += " alt";
        if (bits & hookmessage::kShiftBit)
            text += " shift";
        if (bits & hookmessage::kControlBit)
            text += " control";
    }
    return text;
}

struct Case
{
    const char *name;
    std::vector<Step> steps;
    std::vector<std::string> expected;
};

} // namespace

int main()
{
    const std::vector<Case> cases = {
        {"pedal Alt+F12 is taken from the focused program",
         {{"Alt", false}, {"F12", false}, {"F12", true}, {"Alt", true}},
         {"pass SYSKEYDOWN MENU alt", "take SYSKEYDOWN F12 alt", "take SYSKEYUP F12 alt", "pass KEYUP MENU"}},
        {"F12 then Alt is watched and passed on",
         {{"F12", false}, {"Alt", false}, {"F12", true}, {"Alt", true}},
         {"pass KEYDOWN F12", "pass SYSKEYDOWN MENU alt", "pass SYSKEYUP F12 alt", "pass KEYUP MENU"}},
        {"F10 is a system key and passes",
         {{"F10", false}, {"F10", true}},
         {"pass SYSKEYDOWN F10", "pass SYSKEYUP F10"}},
        {"other keys pass unseen", {{"A", false}, {"A", true}}, {"pass", "pass"}},
        {"right Alt is Alt",
         {{"AltGr", false}, {"F12", false}, {"F12", true}, {"AltGr", true}},
         {"pass SYSKEYDOWN MENU alt", "take SYSKEYDOWN F12 alt", "take SYSKEYUP F12 alt", "pass KEYUP MENU"}},
        {"auto-repeat is taken but not posted again",
         {{"Alt", false}, {"F12", false}, {"F12", false}, {"Alt", false}, {"F12", true}, {"Alt", true}},
         {"pass SYSKEYDOWN MENU alt", "take SYSKEYDOWN F12 alt", "take", "pass", "take SYSKEYUP F12 alt",
          "pass KEYUP MENU"}},
        {"a taken F12 is taken up to its release, after Alt went up",
         {{"Alt", false}, {"F12", false}, {"Alt", true}, {"F12", true}},
         {"pass SYSKEYDOWN MENU alt", "take SYSKEYDOWN F12 alt", "pass KEYUP MENU", "take KEYUP F12"}},
        {"an F12 pressed before Alt stays the program's",
         {{"F12", false}, {"Alt", false}, {"F12", false}, {"F12", true}, {"Alt", true}},
         {"pass KEYDOWN F12", "pass SYSKEYDOWN MENU alt", "pass", "pass SYSKEYUP F12 alt", "pass KEYUP MENU"}},
        {"duplicate release dropped", {{"Alt", false}, {"Alt", true}, {"Alt", true}},
         {"pass SYSKEYDOWN MENU alt", "pass KEYUP MENU", "pass"}},
        {"Control+Alt+F12 is taken, as plain key messages with Control",
         {{"Control", false}, {"Alt", false}, {"F12", false}},
         {"pass", "pass KEYDOWN MENU alt control", "take KEYDOWN F12 alt control"}},
        {"Shift+F10 carries Shift", {{"Shift", false}, {"F10", false}}, {"pass", "pass SYSKEYDOWN F10 shift"}},
    };

    for (const Case &c : cases) {
        LowLevelKeyRouter router;
        std::vector<std::string> seen;
        for (const Step &step : c.steps)
            seen.push_back(describe(router.route(virtualKeyOf(step.key), 0x58, false, step.release)));
        if (!WCHECK(seen == c.expected)) {
            std::printf("  case: %s\n", c.name);
            for (const std::string &s : seen)
                std::printf("  seen: %s\n", s.c_str());
        }
    }

    // The lParam of a key as Windows builds it: repeat count, scan code, previous and
    // transition state; the posted mark.
    {
        LowLevelKeyRouter router;
        const auto down = router.route(VK_F12, 0x58, false, false).post;
        const auto up = router.route(VK_F12, 0x58, false, true).post;
        WCHECK(down && up);
        if (down && up) {
            const auto d = static_cast<unsigned>(down->lParam);
            const auto u = static_cast<unsigned>(up->lParam);
            WCHECK_EQ(d & 0xffffu, 1u);
            WCHECK_EQ((d >> 16) & 0xffu, 0x58u);
            WCHECK_EQ(d & (hookmessage::kPreviousStateBit | hookmessage::kTransitionBit), 0u);
            WCHECK_EQ(u & (hookmessage::kPreviousStateBit | hookmessage::kTransitionBit),
                      hookmessage::kPreviousStateBit | hookmessage::kTransitionBit);
            WCHECK(hookmessage::isPostedByHook(down->lParam));
            WCHECK(down->lParam > 0); // zero-extended, as Windows passes the 32-bit value
            WCHECK(up->lParam > 0);
        }
    }

    // Alt held before the hook came up counts for the F12 that follows.
    {
        LowLevelKeyRouter router;
        router.setInitiallyDown(VK_LMENU, true);
        WCHECK(router.altDown());
        WCHECK_EQ(describe(router.route(VK_F12, 0x58, false, false)), std::string("take SYSKEYDOWN F12 alt"));
    }
    return wintest::finish("tst_keyrouter_win");
}
