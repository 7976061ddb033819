// The demo data checked as a whole: every list entry resolves, every room
// and item that ".ai" and "_events.ini" files name exists, every picture and
// effect the code names is listed, "items.ini" holds items only, Find All
// rooms are their own locations, reserved names appear only where the game
// gives them their meaning, and every string id has an English text. Every
// problem is listed with its file before the test fails; a small broken tree
// shows that the checks catch what they are for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_string.h"
#include "engine/util/text_test_log.h"
#include "support/test_env.h"

namespace {

using Names = std::set<std::string>;

const Names kEventKinds{"AddISpyToTask",  "AddScore",         "ChangePersonageInfo", "ChangePersonages",
                        "ChangeVisibleTasks", "DelFromInventory", "EventForComics",   "EventForItem",
                        "FAFinish",       "InvestigationClose", "InvestigationWin",  "JumpToRoom",
                        "LocationFinish", "MagicStarsChanger", "MHFinish",           "NpcItemIdent",
                        "PersonagesDialog", "PlayFlash",        "PuzzleComplete",    "SearchFinish",
                        "SetTaskCompleted", "ShowMessage",      "EventBase"};
const Names kSpecialRooms{"GlobalMap", "MurderHunt", "InvCards"};
// Names with a meaning of their own: never an item's or a listed room's name.
const Names kReserved{"ROOM", "TASK", "ISPY", "ISPYFA", "ONESELF", "NONE", "CLS", "ALL", "_BACK",
                      "Comics", "GlobalMap", "MurderHunt", "InvCards", "Decrypt", "Decrypt2"};
// ClickUse values the play step acts on rather than shows.
const Names kClickUseMarks{"CLUE", "INVCARD", "MH_CONTAINER", "MH_ENVELOPE", "MURDERHUNT", "EVIDENCE", "EVIDENCE_WT"};
const Names kItemClasses{"Item", "Box", "Container", "Door", "Heap"};
// Event keys that hold one full item reference, or a list of them.
const Names kItemRefKeys{"ItemInInventory", "ShowItem", "HideItem", "OpenItem", "TaskItem"};
const Names kItemListKeys{"VisibilityItems", "Items", "DelItems"};

bool plainName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

std::list<std::string> tokens(const std::string& text)
{
    std::list<std::string> out;
    aOptionsFile::splitTokens(text, out);
    return out;
}

// A key of a section, looked up without the options file's log lines.
std::string valueOf(const aOptionsFile& ini, const std::string& section, const std::string& key,
                    const std::string& def = std::string())
{
    for (const auto& [name, keys] : ini.sections())
        if (name == section)
            for (const auto& [k, v] : keys)
                if (k == key)
                    return v;
    return def;
}

// Raw lines, without line ends; blank lines kept out.
std::vector<std::string> listLines(const std::string& path)
{
    std::vector<std::string> out;
    for (std::string line : test_env::readLines(path)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            out.push_back(line);
    }
    return out;
}

struct Room {
    std::string name, caseFolder, locationFolder, location;
    std::vector<std::string> items;                      // in load order
    std::map<std::string, std::vector<std::string>> groups;  // I-spy groups
    std::vector<std::string> ispySingles;
    Names hidden;  // by the case's room.ini
    bool has(const std::string& item) const { return std::find(items.begin(), items.end(), item) != items.end(); }
};

class DataChecker {
public:
    // fixedSounds: the effects the code plays by name; fixedImages: the
    // pictures it shows by name, each with the list (under the root) that
    // must hold it.
    explicit DataChecker(std::string root, Names fixedSounds = {},
                         std::map<std::string, std::string> fixedImages = {})
        : m_root(std::move(root)), m_fixedSounds(std::move(fixedSounds)), m_fixedImages(std::move(fixedImages))
    {
    }

    std::vector<std::string> Run()
    {
        m_problems.clear();
        CheckLists(m_root);
        ReadHunt();
        CheckCredits();
        CheckSounds();
        for (const auto& [image, list] : m_fixedImages)
            if (!HasImage(m_root + list, image))
                Problem(m_root + list, "no image '" + image + "', which the code shows");
        const std::string list = m_root + "_Investigations/_investigations.list";
        if (!file_isExistOrPacked(list))
            Problem(list, "missing");
        for (const std::string& name : Verbatim(list)) {
            if (!file_isExistOrPacked(m_root + "_Investigations/" + name + "/_investigation.ini"))
                Problem(list, "case '" + name + "' has no _investigation.ini");
            else
                CheckCase(name);
        }
        return m_problems;
    }

private:
    void Problem(const std::string& file, const std::string& text)
    {
        std::string shown = file;
        if (shown.compare(0, m_root.size(), m_root) == 0)
            shown = shown.substr(m_root.size());
        m_problems.push_back(shown + ": " + text);
    }

    // A case or room list: used verbatim, so no blank may trail a name.
    std::vector<std::string> Verbatim(const std::string& path)
    {
        std::vector<std::string> out;
        for (const std::string& line : listLines(path)) {
            if (line.find_first_of(" \t") != std::string::npos)
                Problem(path, "line '" + line + "' holds a blank");
            else
                out.push_back(line);
        }
        return out;
    }

    // Every resource list names files that exist beside it.
    void CheckLists(const std::string& folder)
    {
        std::vector<std::string> entries;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            entries.push_back(e.path().filename().string());
        std::sort(entries.begin(), entries.end());
        for (const std::string& entry : entries) {
            const std::string path = folder + entry;
            if (std::filesystem::is_directory(path)) {
                CheckLists(path + "/");
                continue;
            }
            const bool anims = entry == "_anims.list";
            if (!anims && entry != "_images.list" && entry != "_sounds.list" && entry != "_particles.list" &&
                entry != "playlist.txt")
                continue;
            for (const std::string& line : listLines(path)) {
                const std::string file = line.substr(0, line.find_first_of(" \t{"));
                if (file.empty() || file[0] == ';' || file[0] == '#')
                    continue;
                if (!file_isExistOrPacked(folder + file + (anims ? ".ini" : "")))
                    Problem(path, "'" + file + "' does not exist");
            }
        }
    }

    void ReadHunt()
    {
        const std::string huntFile = m_root + "_Locations/Global/MurderHunt/hunt.ini";
        if (!file_isExistOrPacked(huntFile))
            return;
        aOptionsFile hunt(huntFile);
        for (const auto& section : hunt.sections()) {
            std::map<std::string, std::string> keys(section.second.begin(), section.second.end());
            m_huntCases.insert(keys["Case"]);
            m_cardRooms.insert(keys["CardRoom"]);
            m_huntTexts.push_back(keys["Cipher"]);
        }
        aLocaleServer texts;
        texts.loadFile(m_root + "Language/English/_Locations/MurderHunt.txt", "MurderHunt");
        for (const std::string& id : m_huntTexts)
            if (!texts.findString(id, "MurderHunt"))
                Problem(m_root + "_Locations/Global/MurderHunt/hunt.ini", "no English text '" + id + "'");
    }

    void CheckCredits()
    {
        const std::string path = m_root + "credits.ini";
        if (!file_isExistOrPacked(path))
            return;
        aLocaleServer main;
        if (file_isExistOrPacked(m_root + "Language/English/Text/Main.txt"))
            main.loadFile(m_root + "Language/English/Text/Main.txt");
        aOptionsFile credits(path);
        for (const auto& section : credits.sections())
            for (const auto& [key, value] : section.second)
                if (key == "Text" && !main.findString(value))
                    Problem(path, "no English text '" + value + "'");
    }

    // Every effect the code or the data names is in the game's sound list:
    // the GUI scripts' click and move sounds, a room's SoundOnBack and an
    // event's Sound.
    void CheckSounds()
    {
        Names loaded;
        const std::string list = m_root + "Sounds/_sounds.list";
        if (file_isExistOrPacked(list))
            for (const std::string& line : listLines(list)) {
                const std::string file = line.substr(0, line.find_first_of(" \t{"));
                loaded.insert(file.substr(0, file.rfind('.')));
            }
        for (const std::string& name : m_fixedSounds)
            if (!loaded.count(name))
                Problem(list, "no sound '" + name + "', which the code plays");
        const std::regex key("^\\s*(SoundClick|SoundMove|SoundOnBack|Sound)(\\s*=\\s*|\\s+)(\\S+)");
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(m_root)) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".agui" || ext == ".ini"))
                files.push_back(e.path().string());
        }
        std::sort(files.begin(), files.end());
        for (const std::string& path : files)
            for (const std::string& line : listLines(path)) {
                std::smatch m;
                if (std::regex_search(line, m, key) && !loaded.count(m[3]))
                    Problem(path, "no sound '" + std::string(m[3]) + "' for " + std::string(m[1]));
            }
    }

    // ---------------------------------------------------------------- a case

    void CheckCase(const std::string& name)
    {
        m_case = name;
        m_caseFolder = m_root + "_Investigations/" + name + "/";
        m_rooms.clear();
        m_events.clear();
        const bool findAll = name == "FindAll";
        aOptionsFile ini(m_caseFolder + "_investigation.ini");
        m_localRefs.clear();
        m_personages.clear();
        for (const std::string& p : tokens(valueOf(ini, "PersonagesList", "Personages")))
            m_personages.insert(p);
        if (m_personages.empty())
            Problem(m_caseFolder + "_investigation.ini", "no Personages");
        for (const std::string& p : tokens(valueOf(ini, "PersonagesList", "StartPersonages")))
            if (!m_personages.count(p))
                Problem(m_caseFolder + "_investigation.ini", "start personage '" + p + "' is not a personage");

        m_texts = std::make_unique<aLocaleServer>();
        const std::string language = m_root + "Language/English/";
        m_texts->loadFile(language + "Text/Main.txt");
        LoadText(language + "_Investigations/" + name + "/investigation.txt", name);

        for (const std::string& room : kSpecialRooms)
            LoadRoom(room, m_root + "_Locations/Global/" + room + "/");
        const std::string roomsList = m_caseFolder + "_rooms.list";
        for (const std::string& room : Verbatim(roomsList)) {
            if (!plainName(room) || kSpecialRooms.count(room) || (kReserved.count(room) && room.rfind("Decrypt", 0)))
                Problem(roomsList, "'" + room + "' cannot be a listed room");
            if (room.rfind("Decrypt", 0) == 0 && !m_huntCases.count(name))
                Problem(roomsList, "'" + room + "' is listed by a case without a murder-hunt card");
            if (kSpecialRooms.count(room))
                continue;
            if (!LoadRoom(room, m_caseFolder + room + "/"))
                Problem(roomsList, "room '" + room + "' has no location");
            else if (!m_texts->findString(room))
                Problem(language + "Text/Main.txt", "no room title '" + room + "'");
            if (findAll && m_rooms.count(room) && m_rooms[room].location != room)
                Problem(roomsList, "Find All room '" + room + "' uses the location '" + m_rooms[room].location + "'");
        }
        if (!findAll && !m_texts->findString("INTRO_TEXT", name))
            Problem(language + "_Investigations/" + name + "/investigation.txt", "no INTRO_TEXT");

        // Event names first: AfterEvents and BeforeEvents may name any of them.
        std::vector<std::pair<std::string, std::string>> eventFiles{{m_caseFolder + "_events.ini", name}};
        for (const auto& [room, data] : m_rooms)
            if (!kSpecialRooms.count(room))
                eventFiles.push_back({data.caseFolder + "_events.ini", room});
        for (const auto& [file, prefix] : eventFiles) {
            if (!file_isExistOrPacked(file))
                continue;
            aOptionsFile events(file);
            for (const auto& section : events.sections())
                for (const auto& [key, value] : section.second)
                    if (key == "EventName")
                        m_events.insert(value);
        }
        for (const auto& [file, prefix] : eventFiles)
            if (file_isExistOrPacked(file))
                CheckEvents(file, prefix);
        for (const auto& [file, ref] : m_pendingRefs)
            NeedItem(file, ref, "");
        for (const auto& [file, room] : m_doorTargets)
            if (!HasRoom(room))
                Problem(file, "a door leads to '" + room + "', no room of " + name);
        m_pendingRefs.clear();
        m_doorTargets.clear();
        for (const std::string& p : m_personages) {
            CheckAi(m_caseFolder + p + ".ai", "");
            for (const auto& [room, data] : m_rooms)
                if (!kSpecialRooms.count(room))
                    CheckAi(data.caseFolder + p + ".ai", room);
        }
    }

    // The room's two folders, as the rooms manager picks them; its items.
    bool LoadRoom(const std::string& name, const std::string& caseFolder)
    {
        Room room;
        room.name = name;
        room.caseFolder = caseFolder;
        aOptionsFile roomIni;
        if (file_isExistOrPacked(caseFolder + "room.ini"))
            roomIni.load(caseFolder + "room.ini");
        if (file_isExistOrPacked(caseFolder + "location.ini")) {
            room.locationFolder = caseFolder;
            room.location = name;
        } else {
            room.location = valueOf(roomIni, "Room", "Location", name);
            room.locationFolder = m_root + "_Locations/Rooms/" + room.location + "/";
            if (!file_isExistOrPacked(room.locationFolder + "location.ini"))
                return false;
        }
        const std::string language = m_root + "Language/English/";
        LoadText(language + "_Investigations/" + m_case + "/" + name + ".txt", name);
        LoadText(language + "_Locations/" + room.location + ".txt", name);
        const std::string caseHelp = valueOf(roomIni, "Room", "HelpText");
        if (!caseHelp.empty() && !m_texts->findString(caseHelp))
            Problem(caseFolder + "room.ini", "no English text '" + caseHelp + "'");
        for (const std::string& hidden : tokens(valueOf(roomIni, "Room", "HideItems")))
            room.hidden.insert(hidden);
        aOptionsFile location(room.locationFolder + "location.ini");
        for (const auto& [section, keys] : location.sections())
            if (section == "Scene" || section == "Overlay")
                for (const auto& [key, value] : keys)
                    if (key == "Object")
                        CheckObject(room.locationFolder + "location.ini", section, value, room);
        const std::string help = valueOf(location, "Room", "HelpText");
        if (!help.empty() && !m_texts->findString(help))
            Problem(room.locationFolder + "location.ini", "no English text '" + help + "'");
        ReadItems(room);
        m_rooms[name] = std::move(room);
        return true;
    }

    void ReadItems(Room& room)
    {
        const std::string path = room.locationFolder + "items.ini";
        aOptionsFile items;
        if (file_isExistOrPacked(path))
            items.load(path);
        for (const auto& [name, keys] : items.sections()) {
            room.items.push_back(name);
            std::multimap<std::string, std::string> k(keys.begin(), keys.end());
            const auto value = [&](const std::string& key) {
                const auto it = k.find(key);
                return it == k.end() ? std::string() : it->second;
            };
            if (!plainName(name) || kReserved.count(name))
                Problem(path, "'" + name + "' cannot name an item");
            if ((name == "MH_CONTAINER" || name == "ENVELOPE") && !m_cardRooms.count(room.location))
                Problem(path, name + " outside a murder-hunt card room");
            const std::string cls = value("Class");
            if (!cls.empty() && !kItemClasses.count(cls))
                Problem(path, "[" + name + "] has the class '" + cls + "': not an item");
            if (!k.count("Object"))
                Problem(path, "[" + name + "] has no Object: not an item");
            const std::string target = value("Target"), closeUp = value("CloseUp");
            if (cls == "Door" && target.empty() && closeUp.empty())
                Problem(path, "door [" + name + "] leads nowhere");
            if (closeUp == "_BACK")
                Problem(path, "[" + name + "] opens _BACK as a close-up");
            if (!kSpecialRooms.count(room.name) && !room.hidden.count(name))
                for (const std::string& to : {target, closeUp})
                    if (!to.empty() && to != "_BACK")
                        m_doorTargets.push_back({path, to});
            if (value("IsISpyItem") == "1" && value("Inventory") != "1") {
                const std::string group = value("ISpyGroup");
                if (group.empty())
                    room.ispySingles.push_back(name);
                else if (!plainName(group))
                    Problem(path, "[" + name + "] has the bad group name '" + group + "'");
                else
                    room.groups[group].push_back(name);
            }
            if (!value("HelpText").empty() && !m_texts->findString(value("HelpText")))
                Problem(path, "[" + name + "]: no English text '" + value("HelpText") + "'");
            for (auto [it, end] = k.equal_range("Object"); it != end; ++it)
                CheckObject(path, name, it->second, room);
            for (auto [it, end] = k.equal_range("Object"); it != end; ++it) {
                std::istringstream words(it->second);
                std::string word;
                words >> word;
                if (word == "TextLine" || word == "Text")
                    while (words >> word)
                        if (word.rfind("text=", 0) == 0 && !m_texts->findString(word.substr(5), room.name) &&
                            !m_texts->findString(word.substr(5)))
                            Problem(path, "[" + name + "]: no English text '" + word.substr(5) + "'");
            }
            for (const char* key : {"Contents", "Reveals"})
                for (const std::string& inside : tokens(value(key)))
                    m_localRefs.push_back({path, room.name, inside});
            if (!value("Key").empty())
                m_localRefs.push_back({path, room.name, value("Key")});
        }
        // The panel names what it lists by item, and groups by count.
        for (const std::string& item : room.ispySingles)
            NeedText(path, item, room.name);
        for (const auto& [group, members] : room.groups) {
            for (std::size_t n = 1; n <= members.size(); ++n)
                NeedText(path, group + "_" + std::to_string(n), room.name);
            CheckGroupLine(path, group, members.size(), room.name);
        }
        // Refs inside the room resolve once all its items are known.
        for (auto it = m_localRefs.begin(); it != m_localRefs.end();) {
            if (it->room != room.name) {
                ++it;
                continue;
            }
            const std::string ref = it->ref;
            if (ref.find(':') == std::string::npos ? !room.has(ref) : false)
                Problem(it->file, "item '" + ref + "' does not exist");
            else if (ref.find(':') != std::string::npos)
                m_pendingRefs.push_back({it->file, ref});
            it = m_localRefs.erase(it);
        }
    }

    // An object's picture or animation is one of its location's, or of the
    // main lists (no group).
    void CheckObject(const std::string& path, const std::string& owner, const std::string& line, const Room& room)
    {
        std::istringstream words(line);
        std::string kind, word;
        words >> kind;
        while (words >> word) {
            const bool image = word.rfind("img=", 0) == 0 && (kind == "Image" || kind == "Anim");
            const bool anim = word.rfind("anim=", 0) == 0 && kind == "AdvAnim";
            if (!image && !anim)
                continue;
            const std::string name = word.substr(word.find('=') + 1);
            const bool found = image ? HasImage(room.locationFolder + "_images.list", name) ||
                                           HasImage(m_root + "Images/_images.list", name)
                                     : HasImage(room.locationFolder + "_anims.list", name);
            if (!found)
                Problem(path, "[" + owner + "]: " + kind + " '" + name + "' is in no list");
        }
    }

    // A group's line reads "<group>_<count left>", and "<group>_1" once
    // the group is done, struck through: every count must name the group
    // alike, so the done line still reads as the group's own.
    void CheckGroupLine(const std::string& file, const std::string& group, std::size_t count,
                        const std::string& room)
    {
        const auto firstWord = [&](std::size_t n) {
            const std::wstring* text = m_texts->findString(group + "_" + std::to_string(n), room);
            std::wistringstream words(text ? *text : std::wstring());
            std::wstring word;
            words >> word;
            return word;
        };
        for (std::size_t n = 2; n <= count; ++n)
            if (firstWord(n) != firstWord(1))
                Problem(file, "'" + group + "_1' and '" + group + "_" + std::to_string(n) +
                                  "' do not name the group alike");
    }

    void LoadText(const std::string& path, const std::string& group)
    {
        if (file_isExistOrPacked(path))
            m_texts->loadFile(path, group);
    }

    void NeedText(const std::string& file, const std::string& id, const std::string& group)
    {
        if (id.empty() || !m_texts->findString(id, group))
            Problem(file, "no English text '" + id + "'" + (group.empty() ? "" : " for " + group));
    }

    bool HasRoom(const std::string& room) const { return m_rooms.count(room) != 0; }

    // A full reference "room:item"; with `mustHaveRoom` false an item alone
    // names one of `home`'s items.
    void NeedItem(const std::string& file, const std::string& ref, const std::string& home, bool mustHaveRoom = true)
    {
        const std::size_t colon = ref.find(':');
        const std::string room = colon == std::string::npos ? home : ref.substr(0, colon);
        const std::string item = colon == std::string::npos ? ref : ref.substr(colon + 1);
        if (colon == std::string::npos && mustHaveRoom) {
            Problem(file, "'" + ref + "' names no room");
            return;
        }
        if (kReserved.count(item))
            Problem(file, "'" + ref + "': '" + item + "' is reserved");
        else if (!HasRoom(room))
            Problem(file, "'" + ref + "': room '" + room + "' does not exist");
        else if (!m_rooms.at(room).has(item))
            Problem(file, "'" + ref + "': item '" + item + "' does not exist");
    }

    // ------------------------------------------------------------- events

    void CheckEvents(const std::string& file, const std::string& prefix)
    {
        const bool roomFile = prefix != m_case;
        aOptionsFile events(file);
        for (const auto& [kind, keys] : events.sections()) {
            if (!kEventKinds.count(kind)) {
                Problem(file, "[" + kind + "] is no event kind");
                continue;
            }
            std::map<std::string, std::string> k(keys.begin(), keys.end());
            const std::string name = k["EventName"];
            if (name == "Comics" && (kind != "EventForComics" || roomFile))
                Problem(file, "the name Comics belongs to the case's comics event");
            if (!name.empty() && !plainName(name))
                Problem(file, "bad event name '" + name + "'");
            if (kind == "EventForComics" && k["ComicsName"].empty())
                Problem(file, "[EventForComics] names no scene");
            for (const char* key : {"Location", "JumpRoomName"})
                if (!k[key].empty() && !HasRoom(k[key]))
                    Problem(file, std::string(key) + " '" + k[key] + "' is no room of the case");
            for (const char* key : {"Personage", "ForPersonage"})
                if (!k[key].empty() && !m_personages.count(k[key]))
                    Problem(file, std::string(key) + " '" + k[key] + "' is no personage of the case");
            for (const char* key : {"AfterEvents", "BeforeEvents"})
                for (const std::string& other : tokens(k[key]))
                    if (!m_events.count(other))
                        Problem(file, std::string(key) + " names no event '" + other + "'");
            for (const std::string& key : kItemRefKeys)
                if (!k[key].empty())
                    NeedItem(file, k[key], "");
            for (const std::string& key : kItemListKeys)
                for (std::string ref : tokens(k[key]))
                    NeedItem(file, ref[0] == '!' ? ref.substr(1) : ref, "");
            for (const std::string& entry : tokens(k["WinItemsList"]))
                CheckWinItem(file, entry);
            if (!k["TextId"].empty())
                NeedText(file, k["TextId"], prefix);
            if (!k["NPC_Image"].empty() && !HasImage(m_root + "Images/_images.list", k["NPC_Image"]))
                Problem(file, "NPC_Image '" + k["NPC_Image"] + "' is no image of the main list");
        }
    }

    void CheckWinItem(const std::string& file, std::string entry)
    {
        if (!entry.empty() && entry[0] == '!')
            entry.erase(0, 1);
        if (!entry.empty() && entry[0] == '@') {
            const std::size_t colon = entry.find(':');
            const std::string personage = entry.substr(1, colon == std::string::npos ? colon : colon - 1);
            if (!m_personages.count(personage))
                Problem(file, "'" + entry + "': no personage '" + personage + "'");
            entry = colon == std::string::npos ? std::string() : entry.substr(colon + 1);
            const std::size_t second = entry.find(':');
            const std::string room = entry.substr(0, second), what = second == std::string::npos ? "" : entry.substr(second + 1);
            if (!HasRoom(room))
                Problem(file, "'" + entry + "': room '" + room + "' does not exist");
            else if (what != "TASK" && what != "ISPY" && what != "ISPYFA" && !m_rooms.at(room).has(what))
                Problem(file, "'" + entry + "': item '" + what + "' does not exist");
            return;
        }
        NeedItem(file, entry, "");
    }

    bool HasImage(const std::string& list, const std::string& image)
    {
        if (!file_isExistOrPacked(list))
            return false;
        for (const std::string& line : listLines(list)) {
            const std::string file = line.substr(0, line.find_first_of(" \t"));
            if (file.substr(0, file.rfind('.')) == image)
                return true;
        }
        return false;
    }

    // ---------------------------------------------------------------- ".ai"

    void CheckAi(const std::string& file, const std::string& room)
    {
        if (!file_isExistOrPacked(file))
            return;
        const std::string group = room.empty() ? m_case : room;
        aOptionsFile ai(file);
        for (const auto& [section, keys] : ai.sections()) {
            const bool roomSection = section == "ROOM", caseSection = section == "INVESTIGATION";
            if (roomSection && room.empty())
                Problem(file, "[ROOM] in the case's own file");
            if (!roomSection && !caseSection && !room.empty() && !m_rooms.at(room).has(section))
                Problem(file, "[" + section + "]: item does not exist in " + room);
            for (const auto& [key, value] : keys) {
                if (key == "InvTask" || key == "FirstEnter" || key == "EnterToRoom" || key == "RoomTask" ||
                    key == "About" || key == "BadUse" || key == "SuccessApply" ||
                    (key == "ClickUse" && !kClickUseMarks.count(value)))
                    NeedText(file, value, group);
                else if (key.rfind("Must", 0) == 0)
                    for (const std::string& piece : tokens(value))
                        CheckTask(file, piece, room);
                else if (key == "UseTo") {
                    const auto targets = tokens(value);
                    for (const std::string& target : targets)
                        if (target == "ONESELF" || target == "NONE") {
                            if (targets.size() != 1)
                                Problem(file, "UseTo mixes " + target + " with other targets");
                        } else
                            NeedItem(file, target, room, false);
                }
            }
        }
    }

    void CheckTask(const std::string& file, std::string piece, const std::string& room)
    {
        if (!piece.empty() && piece[0] == '*')
            piece.erase(0, 1);
        std::vector<std::string> names{piece};
        const std::size_t open = piece.rfind('[');
        if (open != std::string::npos && piece.back() == ']') {
            const int n = std::atoi(piece.substr(open + 1).c_str());
            if (n > 0) {
                names.clear();
                for (int i = 1; i <= n; ++i)
                    names.push_back(piece.substr(0, open) + "_" + std::to_string(i));
            }
        }
        for (const std::string& name : names) {
            if (room.empty()) {
                bool found = false;
                for (const auto& [other, data] : m_rooms)
                    found |= data.has(name);
                if (!found)
                    Problem(file, "task '" + name + "' is no item of the case");
                continue;
            }
            const Room& data = m_rooms.at(room);
            if (!data.has(name) && !data.groups.count(name))
                Problem(file, "task '" + name + "' is no item or group of " + room);
            else if (data.has(name))
                NeedText(file, name, room);
        }
    }

    struct LocalRef {
        std::string file, room, ref;
    };

    std::string m_root;
    Names m_fixedSounds;
    std::map<std::string, std::string> m_fixedImages;
    std::vector<std::string> m_problems;
    Names m_huntCases, m_cardRooms;
    std::vector<std::string> m_huntTexts;
    std::string m_case, m_caseFolder;
    std::map<std::string, Room> m_rooms;
    Names m_events, m_personages;
    std::unique_ptr<aLocaleServer> m_texts;
    std::vector<LocalRef> m_localRefs;
    std::vector<std::pair<std::string, std::string>> m_pendingRefs, m_doorTargets;
};

std::string joined(const std::vector<std::string>& lines)
{
    std::ostringstream out;
    for (const std::string& line : lines)
        out << "\n  " << line;
    return out.str();
}

} // namespace

TEST(DemoData, EveryReferenceResolvesAndEveryTextExists)
{
    aFileServer files;
    TestLog log;
    // The effects the game, its dialogs and rooms play by name.
    const Names fixedSounds{"multiclick",     "test_volume", "location_completed", "extra_hint",
                            "low_time",       "solve",       "show_tip",           "investigation_completed",
                            "show_hint",      "level_failed", "reward_appear"};
    // The pictures the game and its dialogs show by name.
    std::map<std::string, std::string> fixedImages{{"eye", "Images/GamePanel/_images.list"}};
    for (const char* image : {"Marivel_Trusk", "Tamsel_Quennick", "back_card", "story_complete",
                              "Investigation_complete", "Help_screen", "Help_screen_MH", "Help_screen_FA"})
        fixedImages[image] = "Images/_images.list";
    for (const char* tier : {"gold", "silver", "bronze", "simple"})
        for (const char* award : {"_fa_cert", "_mh_cert"})
            fixedImages[tier + std::string(award)] = "Images/Menu/_images.list";
    const auto problems =
        DataChecker(test_env::sourceDir() + "/data/GameData/", fixedSounds, fixedImages).Run();
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems:" << joined(problems);
    // Parsing the data logged nothing either (a bad line, a missing include).
    EXPECT_TRUE(log.lines().empty()) << joined(log.lines());
}

TEST(DemoData, ABrokenTreeGetsEveryProblemNamedWithItsFile)
{
    aFileServer files;
    TestLog log;
    const std::string root = test_env::home() + "/broken/";
    const auto write = [&](const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(root + path).parent_path());
        test_env::writeFile(root + path, text);
    };
    write("_Investigations/_investigations.list", "caseB \ncaseA\n");
    write("_Investigations/caseA/_investigation.ini", "[PersonagesList]\nPersonages = Pat\nStartPersonages = Pat, Kim\n");
    write("_Investigations/caseA/_rooms.list", "Hall\nNowhere\nGlobalMap\n");
    write("_Investigations/caseA/_events.ini",
          "[ShowMessage]\nEventName = Comics\nTextId = missing_text\nLocation = Attic\n[Bogus]\n"
          "[EventForItem]\nShowItem = Hall:ghost\nWinItemsList = @Nobody:Hall:TASK, vase, Hall:ONESELF\n"
          "AfterEvents = never\n");
    write("_Investigations/caseA/Hall/Pat.ai",
          "[ROOM]\nRoomTask = no_task_text\nMustPickItems = vase, *ghost, cups[2]\n[vase]\nUseTo = ONESELF, Hall:vase\n"
          "[chair]\nAbout = about_chair\n");
    write("_Locations/Rooms/Hall/location.ini", "[Room]\nHelpText = no_help\n");
    write("_Locations/Rooms/Hall/items.ini",
          "[vase]\nIsISpyItem = 1\nHelpText = vase_help\nObject = Image img=vase\nObject = TextLine font=x text=vase_label\n[Room]\nISpyRoom = 1\n[_BACK]\nObject = Image img=x\n"
          "[door]\nClass = Door\nTarget = Cellar\nObject = Image img=vase\n[cups_1]\nClass = Chest\nObject = Image img=x\n"
          "[MH_CONTAINER]\nObject = Image img=x\n"
          "[mug_1]\nIsISpyItem = 1\nISpyGroup = mugs\nObject = Image img=vase\n"
          "[mug_2]\nIsISpyItem = 1\nISpyGroup = mugs\nObject = Image img=vase\n");
    write("_Locations/Rooms/Hall/_images.list", "vase.png 4444 8888\n");
    write("Language/English/Text/Main.txt", "Hall = \"Hall\"\n");
    write("Language/English/_Locations/Hall.txt", "mugs_1 = \"Mug\"\nmugs_2 = \"2 mugs\"\n");
    write("credits.ini", "[General]\nFont = Large\n[thanks]\nText = no_thanks\n");
    write("Sounds/_sounds.list", "click.ogg \n");
    write("Sounds/click.ogg", "");
    write("Gui/panel.agui", "template Button\n{\n    SoundClick  click\n    SoundMove   whoosh\n}\n");
    write("_Locations/Rooms/Hall/room.ini", "[Room]\nSoundOnBack = slam\n");

    write("Images/_images.list", "face.png 8888 8888\n");
    write("Images/face.png", "");

    const auto problems = DataChecker(root, {}, {{"face", "Images/_images.list"}, {"photo", "Images/_images.list"}}).Run();
    const auto has = [&](const std::string& text) {
        return std::count_if(problems.begin(), problems.end(),
                             [&](const std::string& p) { return p.find(text) != std::string::npos; });
    };
    for (const char* expected :
         {"_investigations.list: line 'caseB ' holds a blank", "_rooms.list: room 'Nowhere' has no location",
          "_rooms.list: 'GlobalMap' cannot be a listed room", "start personage 'Kim' is not a personage",
          "_events.ini: no English text 'missing_text' for caseA", "Location 'Attic' is no room",
          "the name Comics belongs to the case's comics event", "[Bogus] is no event kind",
          "'Hall:ghost': item 'ghost' does not exist", "no personage 'Nobody'", "'vase' names no room",
          "'Hall:ONESELF': 'ONESELF' is reserved", "AfterEvents names no event 'never'",
          "Hall/Pat.ai: task 'ghost' is no item or group of Hall", "task 'cups_2' is no item or group",
          "no English text 'no_task_text' for Hall", "UseTo mixes ONESELF", "[chair]: item does not exist in Hall",
          "Hall/_images.list: 'vase.png' does not exist", "items.ini: [Room] has no Object: not an item",
          "items.ini: '_BACK' cannot name an item", "a door leads to 'Cellar', no room of caseA",
          "[cups_1] has the class 'Chest': not an item", "MH_CONTAINER outside a murder-hunt card room",
          "location.ini: no English text 'no_help'", "investigation.txt: no INTRO_TEXT",
          "Hall/items.ini: no English text 'vase' for Hall", "Pat.ai: no English text 'vase' for Hall",
          "Pat.ai: no English text 'cups_1' for Hall", "Pat.ai: no English text 'about_chair' for Hall",
          "credits.ini: no English text 'no_thanks'", "[vase]: no English text 'vase_help'",
          "[vase]: no English text 'vase_label'", "[_BACK]: Image 'x' is in no list",
          "[cups_1]: Image 'x' is in no list", "[MH_CONTAINER]: Image 'x' is in no list",
          "Gui/panel.agui: no sound 'whoosh' for SoundMove", "Hall/room.ini: no sound 'slam' for SoundOnBack",
          "Images/_images.list: no image 'photo', which the code shows",
          "items.ini: 'mugs_1' and 'mugs_2' do not name the group alike"})
        EXPECT_EQ(has(expected), 1) << expected << joined(problems);
    EXPECT_EQ(problems.size(), 40u) << joined(problems);
}

namespace {

// Every text of the demo a player reads, each with where it stands: the
// string tables, the GUI scripts' texts and the words drawn into pictures
// (the art recipes' "text" lines).
std::vector<std::pair<std::string, std::string>> playerTexts(const std::string& source)
{
    std::vector<std::pair<std::string, std::string>> out;
    const auto each = [&](const std::string& folder, const std::string& ext,
                          const std::function<void(const std::string&, const std::string&)>& take) {
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            if (e.is_regular_file() && e.path().extension() == ext)
                for (const std::string& line : test_env::readLines(e.path().string()))
                    take(e.path().string(), line);
    };
    const std::regex quoted(R"(^\s*[A-Za-z_.0-9]+\s*=\s*"(.*)\")");
    const std::regex guiText(R"(^\s*Text\s+"(.*)\")");
    const std::regex drawn(R"(^text\s+\S+\s+\S+\s+\S+\s+\S+\s+\S+\s+(.*)$)");
    const auto matching = [&](const std::regex& pattern) {
        return [&out, &pattern](const std::string& file, const std::string& line) {
            std::smatch m;
            if (std::regex_search(line, m, pattern))
                out.emplace_back(file, m[1].str());
        };
    };
    each(source + "/data/GameData/Language/English", ".txt", matching(quoted));
    each(source + "/data/GameData/Gui", ".agui", matching(guiText));
    each(source + "/tools/art", ".txt", matching(drawn));
    return out;
}

// The English text of a key in a string table under Language/English/;
// empty when there is none.
std::string englishText(const std::string& table, const std::string& key)
{
    aLocaleServer strings;
    strings.loadFile(test_env::sourceDir() + "/data/GameData/Language/English/" + table);
    const std::wstring* text = strings.findString(key);
    return text ? str_wideToUtf8(*text) : std::string();
}

} // namespace

TEST(DemoData, TheStoryTellsOneStoryToItsEnd)
{
    aFileServer files;
    TestLog log;
    const std::string source = test_env::sourceDir();
    const auto texts = playerTexts(source);
    ASSERT_GT(texts.size(), 100u);
    std::set<std::string> professors;
    const std::regex professor(R"(Professor ([A-Z][a-z]+))");
    for (const auto& [file, text] : texts) {
        for (std::sregex_iterator it(text.begin(), text.end(), professor), end; it != end; ++it)
            if ((*it)[1] != "Study")  // the case card's title, "The Professor's Study"
                professors.insert((*it)[1]);
        std::string lower = text;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        // The murder hunt's clue waits in a leather case, and nothing else.
        for (const char* other : {"envelope", "photograph"})
            EXPECT_EQ(lower.find(other), std::string::npos) << file << ": " << text;
        // Find All counts no time.
        for (const char* hurry : {"against the clock", "as fast as"})
            EXPECT_EQ(lower.find(hurry), std::string::npos) << file << ": " << text;
        // A player who has never played is not welcomed back.
        EXPECT_EQ(lower.find("welcome back"), std::string::npos) << file << ": " << text;
    }
    EXPECT_EQ(professors, (std::set<std::string>{"Halloway"}));

    // Once the first case is won, a comics page tells its end before the
    // case closes.
    const std::string root = source + "/data/GameData/";
    files.setAssign("language", root + "Language/English/");
    const aOptionsFile events(root + "_Investigations/1chapter/_events.ini");
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> sections;
    for (const auto& [kind, keys] : events.sections())
        sections.emplace_back(kind, std::map<std::string, std::string>(keys.begin(), keys.end()));
    // The first event of the kind, with that value of the key when one is given.
    const auto named = [&](const std::string& kind, const std::string& key = "", const std::string& value = "") {
        for (auto& [k, keys] : sections)
            if (k == kind && (key.empty() || keys[key] == value))
                return keys;
        return std::map<std::string, std::string>();
    };
    const std::string won = named("InvestigationWin")["EventName"];
    ASSERT_FALSE(won.empty());
    auto ending = named("EventForComics", "AfterEvents", won);
    ASSERT_FALSE(ending.empty()) << "no comics page after '" << won << "'";
    EXPECT_TRUE(file_isExistOrPacked("language:Comics/" + ending["ComicsName"] + "_p1.jpg")) << ending["ComicsName"];
    EXPECT_FALSE(named("InvestigationClose", "AfterEvents", ending["EventName"]).empty());

    // What a room's finished task brings speaks of no beginning: the desk's
    // card can come last of all.
    for (auto& [kind, keys] : sections) {
        if (kind != "ShowMessage" || keys["WinItemsList"].find(":TASK") == std::string::npos)
            continue;
        std::string text = englishText("_Investigations/1chapter/investigation.txt", keys["TextId"]);
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        EXPECT_FALSE(text.empty()) << keys["TextId"];
        for (const char* start : {"begun", "begins", "first"})
            EXPECT_EQ(text.find(start), std::string::npos) << keys["TextId"] << ": " << text;
    }

    // A close-up's task (no list of its own) changes once it is done, so the
    // notebook no longer asks for it.
    for (const auto& entry : std::filesystem::directory_iterator(root + "_Investigations/1chapter")) {
        const std::string room = entry.path().filename().string();
        const std::string ai = entry.path().string() + "/Quennick.ai";
        if (!entry.is_directory() || !std::filesystem::exists(ai))
            continue;
        const aOptionsFile task(ai);
        if (task.getValueDef("ROOM", "RoomTask", "").empty() || !task.getValueDef("ROOM", "ISpyItemsCount", "").empty())
            continue;
        const aOptionsFile roomEvents(entry.path().string() + "/_events.ini");
        bool changed = false;
        for (const auto& [kind, pairs] : roomEvents.sections()) {
            std::map<std::string, std::string> keys(pairs.begin(), pairs.end());
            changed = changed || (kind == "ChangePersonageInfo" && keys["Item"] == room + ":ROOM" &&
                                  keys["TypeInfo"] == "RoomTask" &&
                                  keys["WinItemsList"] == "@Quennick:" + room + ":TASK");
        }
        EXPECT_TRUE(changed) << room << ": its task stays in the notebook once done";
    }

    // The tips of a clue still in cipher ask for the deciphering; the clue
    // is not found yet.
    for (const char* tip : {"tip.mh_first_sticker", "tip.mh_encrypted"}) {
        const std::string text = englishText("Text/Main.txt", tip);
        EXPECT_NE(text.find("decipher"), std::string::npos) << tip << ": " << text;
        EXPECT_EQ(text.find("found"), std::string::npos) << tip << ": " << text;
    }
}

namespace {

// The rectangle of a widget's "AreaRect" in a GUI script, found by its
// declaration line ("imagebutton btn_map", "staticimage AwardMH").
aRect scriptRect(const std::string& script, const std::string& declaration)
{
    const std::vector<std::string> lines = test_env::readLines(script);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(declaration) == std::string::npos)
            continue;
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            std::istringstream in(lines[j]);
            std::string key;
            int x = 0, y = 0, w = 0, h = 0;
            if (in >> key >> x >> y >> w >> h && key == "AreaRect")
                return aRect(std::int16_t(x), std::int16_t(y), std::uint16_t(w), std::uint16_t(h));
        }
    }
    ADD_FAILURE() << declaration << " not in " << script;
    return aRect();
}

// The words an art recipe draws into an image, and how many shapes.
struct Drawn {
    std::vector<std::string> words;
    int shapes = 0;
};
Drawn drawnInto(const std::string& image)
{
    Drawn out;
    bool inside = false;
    for (const auto& e : std::filesystem::directory_iterator(test_env::sourceDir() + "/tools/art"))
        for (const std::string& line : test_env::readLines(e.path().string())) {
            std::istringstream in(line);
            std::string command;
            in >> command;
            if (command == "image") {
                std::string file;
                in >> file;
                inside = std::filesystem::path(file).stem() == image;
            } else if (inside && command == "text") {
                std::string skip;
                for (int i = 0; i < 5; ++i)
                    in >> skip;
                for (std::string word; in >> word;)
                    out.words.push_back(word);
            } else if (inside && (command == "rect" || command == "rrect" || command == "ellipse" || command == "ring" ||
                                  command == "line" || command == "poly" || command == "frame")) {
                ++out.shapes;
            }
        }
    return out;
}

} // namespace

// What the player sees says what it does and stays where it fits: the
// panel's help button, the help pages' pictures, the cipher's line of help,
// the notebook's margin and the welcome tip beside the ribbons.
TEST(DemoData, WhatThePlayerSeesSaysWhatItDoes)
{
    const std::string root = test_env::sourceDir() + "/data/GameData/";
    const std::string panel = root + "Gui/panel.agui";

    // The panel's "btn_cardroom" asks for help: its picture says Help.
    std::string image;
    {
        const std::vector<std::string> lines = test_env::readLines(panel);
        for (std::size_t i = 0; i < lines.size() && image.empty(); ++i)
            if (lines[i].find("imagebutton btn_cardroom") != std::string::npos)
                for (std::size_t j = i + 1; j < lines.size() && image.empty(); ++j) {
                    std::istringstream in(lines[j]);
                    std::string key;
                    if (in >> key && key == "Image")
                        in >> image;
                }
    }
    const Drawn help = drawnInto(image);
    EXPECT_NE(std::find(help.words.begin(), help.words.end(), "Help"), help.words.end()) << image;
    EXPECT_EQ(std::find(help.words.begin(), help.words.end(), "Cards"), help.words.end()) << image;

    // Each help page has a picture of its own, not a bare shape on its
    // paper and frame.
    for (const char* page : {"Help_screen", "Help_screen_MH", "Help_screen_FA"})
        EXPECT_GE(drawnInto(page).shapes, 4) << page;

    // The cipher's line of help is the room's, not the background's, so it
    // can change once the message is deciphered.
    const aOptionsFile decrypt(root + "_Locations/Rooms/Decrypt/location.ini");
    const std::string before = englishText("Text/Main.txt", decrypt.getValueDef("Decrypt", "Help", ""));
    const std::string after = englishText("Text/Main.txt", decrypt.getValueDef("Decrypt", "SolvedHelp", ""));
    EXPECT_FALSE(before.empty() || after.empty()) << before << " / " << after;
    EXPECT_NE(before, after);
    EXPECT_LE(drawnInto("decrypt_bg").words.size(), 3u);  // "Decipher the message"

    // The notebook's texts end 6 pixels or more inside its paper (163
    // pixels wide from the notebook's left).
    for (const char* text : {"statictext text2", "statictext bonus_desc", "statictext quennick_comment"})
        EXPECT_LE(scriptRect(panel, text).right(), 163 - 6) << text;

    // The welcome tip, left of its point with its tail 40 pixels in from the
    // balloon's right side, ends left of the murder-hunt ribbon.
    const aOptionsFile tips(root + "tips.ini");
    const aRect menu = scriptRect(root + "Gui/menu.agui", "window MainMenu");
    const aRect ribbon = scriptRect(root + "Gui/menu.agui", "staticimage AwardMH");
    EXPECT_EQ(tips.getValueDef("profile_open", "Quarter", ""), "1");
    EXPECT_LT(std::stoi(tips.getValueDef("profile_open", "X", "0")) + 40, menu.x + ribbon.x);
}
