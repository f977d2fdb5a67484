#pragma once

#include <memory>
#include <string>

class clsUrlInformation;

// One link or resource found in a page: its own parsed address (a record no engine knows),
// the visible name and the address exactly as the page wrote it (empty for resources).
class clsLink {
public:
    clsLink();
    virtual ~clsLink();
    clsLink(const clsLink&) = delete;
    clsLink& operator=(const clsLink&) = delete;

    // Replaces the address record; the old one is deleted.
    virtual bool setUrlInformation(std::unique_ptr<clsUrlInformation> info);
    // Forwarders to the address record; neutral values while there is none.
    virtual int getLinkKind() const;
    virtual int getAddressKind() const;
    virtual std::string getAddress() const;
    virtual std::string getFileName() const;
    virtual std::string getExtension() const;
    virtual std::string getHost() const;
    virtual std::string getProtocol() const;
    virtual std::string getPath() const;
    virtual bool setName(const std::string& text);
    virtual bool setHref(const std::string& text);
    virtual const std::string& getName() const;
    virtual const std::string& getHref() const;

    const clsUrlInformation* getUrlInformation() const { return url.get(); }

private:
    std::unique_ptr<clsUrlInformation> url;
    std::string name;
    std::string href;
};
