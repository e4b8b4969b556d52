#include "COptionDevCap.h"

#include <QDebug>
#include <QDomDocument>

#include "OptionXml.h"

namespace {

const char *const lensNames[] = {"VisibleZoomLens", "VisiblePrimeLens", "IRZoomLens", "IRPrimeLens"};

int modelId(const QDomElement &model)
{
    return model.attribute(QStringLiteral("id")).toInt(nullptr, 16);
}

} // namespace

COptionDevCap::~COptionDevCap()
{
    Reset();
}

void COptionDevCap::GetCapabilities(QStringList &out)
{
    out = m_capabilities.keys();
}

bool COptionDevCap::HasCapability(const QString &name)
{
    return m_capabilities.contains(name);
}

int COptionDevCap::GetLensCount()
{
    int count = 0;
    for (const char *name : lensNames)
        count += HasCapability(QLatin1String(name)) ? 1 : 0;
    return count;
}

bool COptionDevCap::HasIRLens()
{
    return HasCapability(QStringLiteral("IRPrimeLens")) || HasCapability(QStringLiteral("IRZoomLens"));
}

bool COptionDevCap::GetValueRange1(float *min, float *max)
{
    *min = 0.0f;
    *max = 40.0f;
    return true;
}

bool COptionDevCap::GetValueRange2(float *min, float *max)
{
    *min = 0.0f;
    *max = 0.1f;
    return true;
}

int COptionDevCap::GetModelId()
{
    return m_modelId;
}

bool COptionDevCap::LoadByModelName(const QString &strFileName, const QString &strModelName)
{
    qDebug() << "Filename = " << strFileName;
    Reset();
    m_file = strFileName;
    m_modelName = strModelName;
    if (strFileName.isEmpty() || strModelName.isEmpty()) {
        qDebug() << "strFileName.isEmpty() || strModelName.isEmpty()";
        return false;
    }

    QDomDocument document;
    if (OptionXml::Read(strFileName, document) != OptionXml::ReadResult::Read)
        return false;

    // Every child of the root is one model, whatever its tag; the first of a
    // name wins.
    const QDomElement root = document.documentElement();
    for (QDomElement model = root.firstChildElement(); !model.isNull();
         model = model.nextSiblingElement()) {
        if (model.attribute(QStringLiteral("name")) == strModelName) {
            m_modelId = modelId(model);
            ReadCapabilities(model);
            break;
        }
    }
    m_loaded = true;
    return true;
}

bool COptionDevCap::LoadById(const QString &strFileName, int id)
{
    qDebug() << "Filename = " << strFileName;
    Reset();
    m_file = strFileName;
    m_modelId = id;

    QDomDocument document;
    if (OptionXml::Read(strFileName, document) != OptionXml::ReadResult::Read)
        return false;

    const QDomElement root = document.documentElement();
    for (QDomElement model = root.firstChildElement(); !model.isNull();
         model = model.nextSiblingElement()) {
        if (modelId(model) == id) {
            m_modelName = model.attribute(QStringLiteral("name"));
            ReadCapabilities(model);
            break;
        }
    }
    m_loaded = true;
    return true;
}

void COptionDevCap::ReadCapabilities(const QDomElement &model)
{
    for (QDomElement capability = model.firstChildElement(); !capability.isNull();
         capability = capability.nextSiblingElement()) {
        const QString name = capability.attribute(QStringLiteral("name"));
        if (capability.tagName() != QLatin1String("capability") || name.isEmpty())
            continue;
        // Zero means absent; it never removes a value given earlier.
        const int value = capability.text().toInt();
        if (value != 0)
            m_capabilities.insert(name, value);
    }
}

void COptionDevCap::Reset()
{
    m_capabilities.clear();
    m_loaded = false;
}
