#pragma once

#include <QByteArray>

#include <map>
#include <vector>

namespace folioset::pdf {

class ObjectWriter;

// The /ICCBased colour spaces of one document: one profile stream per distinct profile, however
// many pages use it.
class IccColourSpaces
{
public:
    // The index of `profile`, describing `components` colours, added on first use.
    int add(const QByteArray &profile, int components);
    // Writes each profile's stream; colourSpace() then names it.
    void write(ObjectWriter &writer);
    // [/ICCBased stream] for the profile at `index`.
    QByteArray colourSpace(int index) const;
    // A version 4 profile came with PDF 1.5.
    bool needsPdf15() const { return m_version4; }

private:
    struct Profile
    {
        QByteArray data; // compressed when `flate`
        bool flate = false;
        int components = 3;
        int number = 0; // its object, once written
    };
    std::map<QByteArray, int> m_indexes;
    std::vector<Profile> m_profiles;
    bool m_version4 = false;
};

} // namespace folioset::pdf
