#pragma once
// A registry from class name to create function, one per instantiation,
// for the managers that make objects from data (items, scene objects,
// rooms, events). Registration is explicit (each subsystem has a Register*
// function that start-up calls once) rather than through static registrar
// objects, whose order is unspecified and which the linker drops from static
// libraries. Names are exact and case-sensitive. Main thread only.
#include <map>
#include <memory>
#include <string>
#include <typeinfo>

#include "engine/util/a_log.h"

// "aObjFactory<T>" with T's readable name, for log lines.
std::string a_objFactoryName(const std::type_info& type);

template <class T, class Owner = void>
class aObjFactory {
public:
    using CreateFunction = std::unique_ptr<T> (*)();

    // False, and nothing changed, when the name is taken.
    static bool Register(const std::string& name, CreateFunction create)
    {
        if (!create)
            return false;
        return Registry().emplace(name, create).second;
    }
    template <class K>
    static bool Register(const std::string& name)
    {
        return Register(name, [] { return std::unique_ptr<T>(new K()); });
    }
    // Null after a log line naming the registry and the word.
    static std::unique_ptr<T> Create(const std::string& name)
    {
        const auto it = Registry().find(name);
        if (it == Registry().end()) {
            a_log("%s::Create(). Unknown class: %s", a_objFactoryName(typeid(T)).c_str(), name.c_str());
            return nullptr;
        }
        return it->second();
    }
    static bool IsRegistered(const std::string& name) { return Registry().count(name) != 0; }

    Owner* GetOwner() const { return m_owner; }
    void SetOwner(Owner* owner) { m_owner = owner; }

protected:
    Owner* m_owner = nullptr;

private:
    // Built on first use, so registration may run before or after main's
    // other statics; destroyed at exit.
    static std::map<std::string, CreateFunction>& Registry()
    {
        static std::map<std::string, CreateFunction> registry;
        return registry;
    }
};
