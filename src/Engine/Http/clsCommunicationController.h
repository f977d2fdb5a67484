#pragma once

class clsQuillaraItem;
class clsUrlInformation;

// A transport as the workers see it; clsCommunicationHttp is the only one.
class clsCommunicationController {
public:
    virtual ~clsCommunicationController() = default;
    virtual bool init() = 0;
    virtual bool term() = 0;
    // Sends the request for info (following redirects) and takes the response header.
    virtual bool readStart(clsUrlInformation* info) = 0;
    // Hands the next block of the body to node; more is false at the end.
    virtual bool readNext(clsUrlInformation* info, clsQuillaraItem* node, bool& more) = 0;
};
