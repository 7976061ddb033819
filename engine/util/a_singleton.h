#pragma once
#include <string>
#include <typeinfo>

#include "engine/util/a_log.h"

// "aSingleton<class X>::getSingleton" for the log.
std::string a_singletonFunctionText(const std::type_info& type);

// One instance per class, registered by its constructor and cleared by its
// destructor. getSingleton() logs the assertion and returns null while no
// instance exists; callers must cope. The instance is kept as the base and
// cast when asked for: a polymorphic T is not yet a T while its bases are
// being built.
template <class T>
class aSingleton {
public:
    aSingleton() { ms_Singleton = this; }
    ~aSingleton() { ms_Singleton = nullptr; }
    aSingleton(const aSingleton&) = delete;
    aSingleton& operator=(const aSingleton&) = delete;

    static T* getSingleton();
    static T* getSingletonPtr() { return static_cast<T*>(ms_Singleton); }

protected:
    static inline aSingleton* ms_Singleton = nullptr;
};

template <class T>
T* aSingleton<T>::getSingleton()
{
    if (!ms_Singleton)
        a_assertLog(a_singletonFunctionText(typeid(T)).c_str(), "ms_Singleton", a_fileLine(__FILE__, __LINE__));
    return static_cast<T*>(ms_Singleton);
}
