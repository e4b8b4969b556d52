#pragma once

#include <QDomElement>
#include <QMap>
#include <QString>

#include "IOptionDevCap.h"

class IApplicationContext;

// The capabilities of one camera model, read from the device capability
// table by model name or by model id. Only non-zero capabilities are kept;
// a capability is present when its name is.
class COptionDevCap : public IOptionDevCap
{
public:
    COptionDevCap() = default;
    virtual ~COptionDevCap();

    COptionDevCap(const COptionDevCap &) = delete;
    COptionDevCap &operator=(const COptionDevCap &) = delete;

    void GetCapabilities(QStringList &out) override;
    bool HasCapability(const QString &name) override;
    int GetLensCount() override;
    bool HasIRLens() override;
    bool GetValueRange1(float *min, float *max) override;
    bool GetValueRange2(float *min, float *max) override;
    int GetModelId() override;

    bool LoadByModelName(const QString &strFileName, const QString &strModelName);
    bool LoadById(const QString &strFileName, int id);
    void Reset();
    void SetContext(IApplicationContext *context) { m_context = context; }
    QString GetModelName() const { return m_modelName; }
    bool IsLoaded() const { return m_loaded; }

private:
    void ReadCapabilities(const QDomElement &model);

    QString m_file;
    QString m_modelName;
    int m_modelId = 0;
    IApplicationContext *m_context = nullptr;
    bool m_loaded = false;
    QMap<QString, int> m_capabilities;
};
