#pragma once
// Base of every manager of named resources. Resources are listed in ".list"
// files, one entry line each; a manager loads a whole list at once or queues
// its entries and works the queue off in time slices, with a progress
// estimate from per-extension load costs. Derived managers say how a line
// names its resource and how it is loaded.
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

#include "engine/util/a_root.h"
#include "engine/util/a_string_list.h"

class aBaseManager : public aRoot {
public:
    // One queued file.
    struct TaskFile {
        std::string group;
        std::string name;       // what GetNameFromLine gives for the line
        std::string line;       // the entry line
        std::string directory;  // of the list file, with its separator
        std::string task;       // the task name (the sound manager's main group)
    };

    // One loading step's record: its start, the cost loaded so far and the
    // time budget in milliseconds.
    struct Progress {
        std::uint32_t startTicks = 0;
        float total = 0.0f;
        std::uint32_t budget = 0;
    };

    struct CostEntry {
        float weight = 1.0f;
        std::uint32_t minimumSize = 0;
    };

    using Callback = void (*)(const std::string& name);

    aBaseManager();
    virtual ~aBaseManager();
    aBaseManager(const aBaseManager&) = delete;
    aBaseManager& operator=(const aBaseManager&) = delete;

    virtual void AddFileToTask(const std::string& directory, const std::string& line, const std::string& group,
                               const std::string& task);
    virtual void AddListToTask(const std::string& listPath, const std::string& group, const std::string& task);
    virtual void LoadList(const std::string& listPath, const std::string& group);
    virtual std::size_t GetListSize(const std::string& listPath);
    // Erases the resource the line names (under "name:group" when a group is given).
    virtual bool UnloadFile(const std::string& line, const std::string& group) = 0;
    // Unloads the lines the list had when it was loaded or queued under the
    // group, without reading it again (the data may be gone by now); a list
    // never loaded here is read.
    virtual void UnloadList(const std::string& listPath, const std::string& group);
    virtual void GetListNames(const std::string& listPath, std::list<std::string>& out);
    virtual std::string GetNameFromLine(const std::string& line) = 0;
    // Reads the list file unless it is the one open already.
    virtual void OpenList(const std::string& listPath);
    virtual void LoadFile(const std::string& directory, const std::string& line, const std::string& group) = 0;
    virtual std::string GetTaskFilePath(const TaskFile& task);

    void SetCallback(Callback callback) { m_callback = callback; }
    Callback GetCallback() const { return m_callback; }
    void SetLoadCost(const std::string& extension, float weight, std::uint32_t minimumSize);
    bool IsExist(const std::string& path) const { return m_queuedNames.count(path) != 0; }
    void ClearTasks();
    void LoadAll();
    void GetTaskCosts(std::list<float>& costs);
    // Loads queued files from the position on: at least one per call, then
    // more while the budget exceeds the estimated time of the step.
    void ProcessTasks(std::list<float>& costs, Progress& progress);
    // The cost of loading one file: its size (raised to its extension's
    // minimum) times the extension's weight; the bare size when unknown.
    float LoadCost(const std::string& path) const;

    // Sets the queue position back to its start (before a loading run).
    void RewindTasks() { m_position = 0; }
    bool IsTasksDone() const { return m_position >= m_queue.size(); }
    std::size_t GetTaskCount() const { return m_queue.size(); }
    // The record ProcessTasks is loading right now; null outside it.
    const TaskFile* GetCurrentTask() const { return m_current; }

protected:
    Callback m_callback = nullptr;
    aStringList m_list;
    std::string m_listPath;
    std::map<std::string, int> m_queuedNames;
    std::list<TaskFile> m_queue;
    std::size_t m_position = 0;
    std::map<std::string, CostEntry> m_loadCosts;

private:
    // The lines of the lists loaded or queued, by path and group.
    std::map<std::pair<std::string, std::string>, std::list<std::string>> m_listedLines;

    // LoadFile with anything it throws caught and logged.
    void loadGuarded(const std::string& directory, const std::string& line, const std::string& group);

    const TaskFile* m_current = nullptr;
};
