#pragma once
// Opening a web link in the user's browser. Only http:// and https:// links
// are opened (the scheme in any letter case); anything else is refused, so
// data can never start a program or open a local file. With no display
// nothing is opened. Tests install a recording double. Main thread only.
#include <string>
#include <vector>

namespace platform {

enum class LinkResult { Opened, NoDisplay, Refused, Failed };

// True for a link that starts with "http://" or "https://", has more after
// it and holds no blank or control character.
bool isWebLink(const std::string& link);

class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual LinkResult open(const std::string& link) = 0;
};

// SDL's opener.
LinkOpener& sdlLinkOpener();
// The opener in use: SDL's unless a test installed another (not owned).
LinkOpener& linkOpener();
void setLinkOpener(LinkOpener* opener);

// Records every link it is given and answers as told (refusing what is not a web link).
class RecordingLinkOpener : public LinkOpener {
public:
    LinkResult open(const std::string& link) override
    {
        links.push_back(link);
        return isWebLink(link) ? answer : LinkResult::Refused;
    }

    std::vector<std::string> links;
    LinkResult answer = LinkResult::Opened;
};

} // namespace platform
