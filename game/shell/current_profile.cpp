#include "game/shell/current_profile.h"

namespace {

bool storeCertificate(std::int32_t& tier, std::int32_t& count, std::int32_t newTier, std::int32_t newCount)
{
    if (tier != 0 && tier <= newTier && count <= newCount)
        return false;
    tier = newTier;
    count = newCount;
    return true;
}

} // namespace

bool CurrentProfile::StoreMHCertificate(std::int32_t tier, std::int32_t count)
{
    return storeCertificate(mhTier, mhCount, tier, count);
}

bool CurrentProfile::StoreFACertificate(std::int32_t tier, std::int32_t count)
{
    return storeCertificate(faTier, faCount, tier, count);
}

CurrentProfile& CurrentProfile::Get()
{
    static CurrentProfile profile;
    return profile;
}
