#pragma once
// The murder-hunt board (room "MurderHunt", class "EvidenceBox"): one card
// per case in "hunt.ini", in hunt order, each naming its case, the room that
// holds its clue container ("MH_CONTAINER"), a photo, and the string id,
// seed and revealed letters of its enciphered clue.
//
// A card is 0 not begun, 1 enciphered, 2 deciphered, 3 opened, 4 opened in
// an earlier investigation. Entering a case begins its card (0 -> 1) and
// makes it current; the decrypt puzzle deciphers it (-> 2, which shows the
// card room's container with magic stars); picking the container opens it
// (-> 3); the next case files it (3 -> 4).
//
// Board items per card: "<CardRoom>", the new photo, shown once the card
// has begun until it is taken; then "<CardRoom>_seen", whose marker objects
// draw by the card's state (visual states s1 to s4).
//
// Class extra of the room record: i32 counter, i32 current card (-1 none),
// u32 n x (card name, u8 state, u32 guess count, that many u16 cipher and
// u16 plain units). Main thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/Rooms/RoomBase.h"

class aImage;

class CMurderHunt : public CRoomBase {
public:
    static constexpr const char* kClassName = "EvidenceBox";
    static constexpr const char* kRoomName = "MurderHunt";
    static constexpr const char* kFile = "hunt.ini";
    static constexpr const char* kContainer = "MH_CONTAINER";
    static constexpr const char* kSeen = "_seen";
    static constexpr int kStateOver = 5;

    enum CardState : std::uint8_t { NotBegun = 0, Enciphered = 1, Deciphered = 2, Opened = 3, OpenedBefore = 4 };

    struct Card {
        std::string name;
        std::string caseName;
        std::string cardRoom;
        std::string photo;
        std::string cipher;  // string id of the plain text, group MurderHunt
        std::uint32_t seed = 0;
        std::int32_t given = 0;
        std::uint8_t state = NotBegun;
        // The player's letters: cipher unit -> plain unit, in the alphabet's case.
        std::map<std::uint16_t, std::uint16_t> guesses;
    };

    std::string GetClassName() const override { return kClassName; }
    void Entry(std::uint32_t value) override;
    int Update(float dt, bool passive) override;
    // 1 + the index of the card whose photo was clicked last since entry, else 0.
    std::uint32_t GetLeaveArg() const override;
    void RefreshItemState() override;
    void AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards) override;
    void OnItemPicked(CSpyItem* item) override;
    bool ShowsInventory() const override { return false; }

    // ---- The hunt
    // keep false (a new or continued game): every card 0 with no guesses,
    // counter 0, no current card. keep true (the next case, a restart):
    // opened cards are filed (3 -> 4); the case's cards not yet opened
    // start again (-> 0, no guesses); the current card stays unless it
    // started again.
    void NewInvestigation(const std::string& caseName, bool keep);
    // The first card of the room not yet opened becomes current and begins.
    void EntryNewInvestigation(const std::string& room);
    void SetFindAll(bool findAll) { m_findAll = findAll; }
    bool IsFindAll() const { return m_findAll; }

    // 0 in Find All; else the current card's state; with none, 5 when every
    // card is opened, else 0.
    int GetCurrentState() const;
    bool IsCurrentCardNotOpened() const { return GetCurrentState() != Opened; }
    // Empty without a current card.
    std::string GetCurrentCardRoom() const;
    // The current card's position, else the number of opened cards.
    std::uint32_t GetCurrentIndex() const;
    // The current card's state when it belongs to the room, else that of
    // the room's last begun card, else 0. A board item name ("<room>" or
    // "<room>_seen") names its room.
    int GetStateByRoom(const std::string& room) const;
    // Empty when no card has that name.
    std::string GetCardRoomByName(const std::string& card) const;
    // By card room (or its board item), then by card name; null when none.
    std::shared_ptr<aImage> LoadPhotoIcons(const std::string& name) const;
    // The stored value; a negative one is then raised by one.
    std::int32_t GetCounter();
    std::int32_t PeekCounter() const { return m_counter; }

    // ---- The cards, for the decrypt puzzle and the panel
    std::size_t GetCardCount() const { return m_cards.size(); }
    const Card* GetCard(std::size_t index) const { return index < m_cards.size() ? &m_cards[index] : nullptr; }
    Card* GetCard(std::size_t index) { return index < m_cards.size() ? &m_cards[index] : nullptr; }
    // -1 when none.
    std::int32_t GetCurrentCard() const { return m_current; }
    // An enciphered card is deciphered (skipping it counts against the
    // certificate): its room's container shows with magic stars.
    void Decipher(std::size_t index, bool skipped);
    // Whether the panel marks the room as the card room.
    bool IsPanelCardRoom(const std::string& room) const;
    // The panel's murder-hunt mode, or -1 to leave it (hunt over, state 4).
    int GetPanelMode() const;

protected:
    void LoadSettings(CRoomData& data) override;
    std::uint32_t SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const override;
    void LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length) override;

private:
    void ReadCards(const std::string& path);
    // The card room a board item or room name stands for ("" when none).
    std::string RoomOfName(const std::string& name) const;
    // Sets a card's state; a card going back to 0 loses its guesses and
    // its photo is new again.
    void SetState(std::size_t index, std::uint8_t state);
    CSpyItem* Container(const Card& card) const;

    std::vector<Card> m_cards;
    std::int32_t m_current = -1;
    std::int32_t m_counter = 0;
    bool m_findAll = false;
    std::string m_case;
    std::int32_t m_lastPhoto = -1;
};
