#include "engine/util/a_singleton.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

std::string a_singletonFunctionText(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                std::free);
    const std::string className = (status == 0 && name) ? name.get() : type.name();
    return "aSingleton<class " + className + ">::getSingleton";
}
