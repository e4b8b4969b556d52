#pragma once

#include "CServiceBase.h"
#include "COptionDevCap.h"
#include "COptionObject.h"
#include "IPrefstoreService.h"

class CPrefstoreService : public CServiceBase<IPrefstoreService>
{
public:
    CPrefstoreService();
    ~CPrefstoreService() override;

    bool Initialize(IApplicationContext *context) override;
    void Uninitialize() override;

    IOptionObject *GetUserOptions() override;
    IOptionObject *GetAppOptions() override;
    void LoadDeviceCapabilities(const QString &model) override;
    QString LoadDeviceCapabilitiesById(int id) override;
    IOptionDevCap *GetDeviceCapabilities() override;

    virtual QString GetDeviceModelName();

    // Writes the station's default user options to path, replacing what is
    // there. False when the file cannot be written.
    static bool WriteDefaultOptions(const QString &path);

private:
    // Moves an options file that cannot be read out of the way, byte for
    // byte, under a name that says so, for the operator to mend or to send.
    // False, after a log line, when it stays where it is.
    static bool SetAside(const QString &path);
    // WriteDefaultOptions, with a log line when it fails.
    static bool WriteDefaults(const QString &path);

    COptionObject m_userOptions;
    COptionObject m_appOptions;
    COptionDevCap m_deviceCapabilities;
};
