#include "engine/util/a_base_manager.h"

#include <cmath>
#include <exception>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"

aBaseManager::aBaseManager() = default;

aBaseManager::~aBaseManager() = default;

void aBaseManager::OpenList(const std::string& listPath)
{
    if (listPath == m_listPath)
        return;
    m_list.clear();
    m_list.load(listPath);
    m_listPath = listPath;
}

std::size_t aBaseManager::GetListSize(const std::string& listPath)
{
    OpenList(listPath);
    return m_list.getSize();
}

void aBaseManager::LoadList(const std::string& listPath, const std::string& group)
{
    OpenList(listPath);
    const std::string directory = file_getDirectory(listPath);
    // A copy: a derived loader may open another list meanwhile.
    const std::list<std::string> lines = m_listedLines[{listPath, group}] = m_list.lines();
    for (const std::string& line : lines)
        loadGuarded(directory, line, group);
}

void aBaseManager::UnloadList(const std::string& listPath, const std::string& group)
{
    std::list<std::string> lines;
    const auto listed = m_listedLines.find({listPath, group});
    if (listed != m_listedLines.end()) {
        lines.swap(listed->second);
        m_listedLines.erase(listed);
    } else {
        OpenList(listPath);
        lines = m_list.lines();
    }
    for (const std::string& line : lines)
        UnloadFile(line, group);
}

void aBaseManager::GetListNames(const std::string& listPath, std::list<std::string>& out)
{
    const std::string directory = file_getDirectory(listPath);
    OpenList(listPath);
    for (const std::string& line : m_list.lines())
        out.push_back(directory + GetNameFromLine(line));
}

std::string aBaseManager::GetTaskFilePath(const TaskFile& task) { return task.directory + task.name; }

void aBaseManager::AddFileToTask(const std::string& directory, const std::string& line, const std::string& group,
                                 const std::string& task)
{
    TaskFile record{group, GetNameFromLine(line), line, directory, task};
    m_queue.push_back(record);
    const std::string path = GetTaskFilePath(record);
    if (m_queuedNames.count(path))
        a_log("aBaseManager::AddFileToTask : Iterative adding file to task  \"%s\"", path.c_str());
    m_queuedNames[path] = 0;
}

void aBaseManager::AddListToTask(const std::string& listPath, const std::string& group, const std::string& task)
{
    std::list<std::string> names;
    GetListNames(listPath, names);
    OpenList(listPath);
    const std::string directory = file_getDirectory(listPath);
    const std::size_t count = GetListSize(listPath);
    if (count == 0)
        return;
    const std::list<std::string> lines = m_listedLines[{listPath, group}] = m_list.lines();
    auto name = names.begin();
    std::size_t added = 0;
    for (auto line = lines.begin(); line != lines.end() && added < count; ++line) {
        if (name == names.end()) {
            a_log("aBaseManager::AddListToTask decode error! \"%s\"", listPath.c_str());
            return;
        }
        AddFileToTask(directory, *line, group, task);
        ++name;
        ++added;
    }
}

void aBaseManager::SetLoadCost(const std::string& extension, float weight, std::uint32_t minimumSize)
{
    m_loadCosts[extension] = CostEntry{weight, minimumSize};
}

void aBaseManager::ClearTasks()
{
    m_queue.clear();
    m_queuedNames.clear();
    m_position = 0;
}

void aBaseManager::loadGuarded(const std::string& directory, const std::string& line, const std::string& group)
{
    try {
        LoadFile(directory, line, group);
    } catch (const std::exception& e) {
        a_log("aBaseManager. Loading \"%s\" from \"%s\" failed: %s", line.c_str(), directory.c_str(), e.what());
    } catch (...) {
        a_log("aBaseManager. Loading \"%s\" from \"%s\" failed", line.c_str(), directory.c_str());
    }
}

void aBaseManager::LoadAll()
{
    // Copied out first: loading may queue or clear.
    const std::list<TaskFile> queue = m_queue;
    for (const TaskFile& t : queue)
        loadGuarded(t.directory, t.line, t.group);
    ClearTasks();
}

float aBaseManager::LoadCost(const std::string& path) const
{
    float size = float(file_getSize(path));
    const auto it = m_loadCosts.find(file_getExtension(path));
    if (it == m_loadCosts.end())
        return size;
    if (size < float(it->second.minimumSize))
        size = float(it->second.minimumSize);
    return it->second.weight * size;
}

void aBaseManager::GetTaskCosts(std::list<float>& costs)
{
    for (const TaskFile& t : m_queue)
        costs.push_back(LoadCost(GetTaskFilePath(t)));
}

void aBaseManager::ProcessTasks(std::list<float>& costs, Progress& progress)
{
    // An empty, finished or cleared queue has nothing to load.
    if (m_queue.empty() || m_position >= m_queue.size())
        return;
    auto it = m_queue.begin();
    std::advance(it, long(m_position));

    for (;;) {
        if (!costs.empty()) {
            progress.total += costs.front();
            costs.pop_front();
        }
        m_current = &*it;
        loadGuarded(it->directory, it->line, it->group);
        m_current = nullptr;
        ++it;
        ++m_position;
        if (it == m_queue.end() || m_position >= m_queue.size())
            return;

        const std::uint32_t elapsed = platform::getTickCount() - progress.startTicks;
        float estimate = 0.0f;
        if (elapsed > 0) {
            const float next = costs.empty() ? 0.0f : costs.front();
            const float rate = progress.total / float(elapsed);
            // A rate of 0 (or an undefined one) cannot estimate: the step ends.
            if (!(rate > 0.0f))
                return;
            estimate = (progress.total + next) / rate;
        }
        if (!std::isfinite(estimate) || !(float(progress.budget) > estimate))
            return;
    }
}
