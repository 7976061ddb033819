#include "game/SpyGame/items/ObjFactory.h"

#include <cstdlib>
#include <cxxabi.h>

std::string a_objFactoryName(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                std::free);
    return "aObjFactory<" + std::string(status == 0 && name ? name.get() : type.name()) + ">";
}
