#pragma once

#include <QString>
#include <QStringList>

// What one camera model can do, as read from the device capability table.
// Owned by the options service; callers borrow it.
class IOptionDevCap
{
public:
    virtual void GetCapabilities(QStringList &out) = 0;
    virtual bool HasCapability(const QString &name) = 0;
    virtual int GetLensCount() = 0;
    virtual bool HasIRLens() = 0;
    virtual bool GetValueRange1(float *min, float *max) = 0;
    virtual bool GetValueRange2(float *min, float *max) = 0;
    virtual int GetModelId() = 0;
};
