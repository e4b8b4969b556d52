#pragma once

#include <QString>

#include "IService.h"

class IOptionDevCap;
class IOptionObject;

// The options service ("PrefstoreService"). The documents and the table it
// hands out are its own: borrow them, never delete them, never keep them
// past the service's release. Nothing is saved unless a caller calls Save.
class IPrefstoreService : public IService
{
public:
    // The operator's options, in the user's application data folder; written
    // with defaults the first time none exist.
    virtual IOptionObject *GetUserOptions() = 0;
    // The installation's options, beside the program.
    virtual IOptionObject *GetAppOptions() = 0;
    virtual void LoadDeviceCapabilities(const QString &model) = 0;
    // Returns the loaded model's name.
    virtual QString LoadDeviceCapabilitiesById(int id) = 0;
    virtual IOptionDevCap *GetDeviceCapabilities() = 0;

protected:
    ~IPrefstoreService() = default;
};
