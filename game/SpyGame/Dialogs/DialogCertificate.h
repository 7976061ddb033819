#pragma once
// The award certificates of the two bonus modes: one of four tiers (1 gold,
// 2 silver, 3 bronze, anything else simple) with its title, a line naming
// the player, a text quoting the count (not for gold) and the tier's
// picture centred across the back widget. A click on the back or on the
// picture gives 3. The Find All and murder-hunt certificates differ only in
// their names. Main thread only.
#include <cstdint>

#include "game/SpyGame/Dialogs/DialogBase.h"
#include "game/shell/current_profile.h"

class CResManager;

class CDialogCertificate : public CDialogBase {
public:
    static constexpr std::int32_t kClosed = 3;

    struct Names {
        const char* window;
        const char* picture;  // the picture widget
        const char* back;     // the background, which closes too
        const char* titles[4];  // gold, silver, bronze, simple
        const char* goldText;
        const char* countTextOne;  // silver with a count of 1
        const char* countText;
        const char* nameLine;
        const char* pictures[4];  // image group "Menu"
        std::int32_t CurrentProfile::*tier;
        std::int32_t CurrentProfile::*count;
    };

    void Init() override;
    // The award recorded in the profile in use.
    void Show() override;
    void ShowAward(std::int32_t tier, std::int32_t count);
    bool OnClose(const GUI::EventArgs& args);

    const Names& GetNames() const { return m_names; }

protected:
    explicit CDialogCertificate(const Names& names) : m_names(names) {}

private:
    const Names& m_names;
    CResManager* m_res = nullptr;
    GUI::WidgetRef m_line1, m_line2, m_line4, m_award, m_back;
};

class CDialogFACertificate : public CDialogCertificate {
public:
    static const Names kNames;
    CDialogFACertificate() : CDialogCertificate(kNames) {}
};

class CDialogMHCertificate : public CDialogCertificate {
public:
    static const Names kNames;
    CDialogMHCertificate() : CDialogCertificate(kNames) {}
};
