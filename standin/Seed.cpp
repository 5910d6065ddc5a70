#include "Seed.h"

#include <ctime>

namespace parlomar::standin {

namespace {

struct PackageSpec {
    const char* name;
    const char* quota;
    const char* bwlimit;
    const char* ftp;
    const char* sql;
    const char* pop;
    const char* lst;
    const char* sub;
    const char* park;
    const char* addon;
    bool shell;
    bool dedicatedIp;
};

constexpr PackageSpec kPackages[] = {
    {"bronze", "1000", "10000", "2", "2", "10", "0", "2", "1", "0", false, false},
    {"silver", "5000", "50000", "10", "10", "50", "2", "10", "5", "2", false, false},
    {"gold", "20000", "200000", "unlimited", "50", "unlimited", "10", "50", "20", "10", true, false},
    {"business_pro", "50000", "500000", "unlimited", "unlimited", "unlimited", "unlimited", "unlimited", "50",
     "25", true, true},
    {"unlimited_plus", "unlimited", "unlimited", "unlimited", "unlimited", "unlimited", "unlimited",
     "unlimited", "unlimited", "unlimited", true, false},
};

struct DemoAccount {
    const char* user;
    const char* domain;
    int package; // index into kPackages
    const char* owner;
    int diskUsedMb;
    const char* suspendReason; // nullptr while active
};

constexpr DemoAccount kDemoAccounts[] = {
    {"alpinebk", "alpine-bakery.com", 0, "root", 172, nullptr},
    {"bluefin", "bluefinsurfschool.net", 1, "root", 2314, nullptr},
    {"cedarlaw", "cedar-law-partners.com", 2, "root", 8120, nullptr},
    {"dunmore", "dunmoregolf.co.uk", 1, "root", 967, nullptr},
    {"emberart", "emberstudio.art", 0, "webmakers", 431, nullptr},
    {"fjordtrv", "fjord-travel.no", 2, "root", 15022, nullptr},
    {"greenleaf", "greenleafgardens.org", 0, "root", 88, "Payment overdue"},
    {"hollybush", "hollybush-inn.co.uk", 1, "webmakers", 1203, nullptr},
    {"ironpeak", "ironpeakfitness.com", 3, "root", 27340, nullptr},
    {"juniper", "juniper-cafe.de", 0, "root", 341, nullptr},
    {"kestrel", "kestrel-optics.com", 2, "hostpro", 6044, nullptr},
    {"lakeside", "lakesidecabins.ca", 1, "root", 2980, nullptr},
    {"meridian", "meridian-consult.com", 3, "root", 41210, nullptr},
    {"northwind", "northwindkites.com", 0, "hostpro", 12, "Spam complaints"},
    {"oakridge", "oakridge-school.org", 2, "root", 11876, nullptr},
    {"pinecone", "pineconecrafts.shop", 0, "webmakers", 640, nullptr},
    {"quillpen", "quillandpen.blog", 0, "root", 57, nullptr},
    {"redfox", "redfox-media.tv", 4, "root", 93410, nullptr},
    {"saltmarsh", "saltmarsh-oysters.com", 1, "hostpro", 1432, nullptr},
    {"tidewater", "tidewater-marine.com", 2, "root", 9021, "Abuse report under review"},
    {"umberhill", "umberhill-vineyard.fr", 1, "root", 3377, nullptr},
    {"velvetine", "velvetine-boutique.it", 0, "webmakers", 955, nullptr},
    {"westbrook", "westbrookdental.com", 1, "root", 2101, nullptr},
    {"yellowjet", "yellowjet-couriers.com", 2, "hostpro", 7450, nullptr},
    {"zephyr", "zephyr-labs.io", 3, "root", 30512, nullptr},
    {"webmakers", "webmakers-agency.com", 4, "root", 120450, nullptr},
    {"hostpro", "hostpro-resell.net", 4, "root", 88210, nullptr},
    {"amberwood", "amberwood-homes.com", 1, "root", 4120, nullptr},
    {"brightsky", "brightsky-solar.com.au", 2, "root", 13005, nullptr},
    {"copperpot", "copperpotkitchen.com", 0, "webmakers", 990, "Exceeded disk quota"},
    {"driftwood", "driftwood-gallery.net", 0, "root", 210, nullptr},
    {"eastgate", "eastgate-motors.com", 2, "hostpro", 16980, nullptr},
    {"foxglove", "foxglove-florist.co.uk", 0, "root", 305, nullptr},
    {"granite", "granite-build.com", 1, "root", 3880, nullptr},
    {"harbor", "harborview-hotel.com", 3, "root", 22730, nullptr},
    {"islandhop", "islandhop-tours.gr", 1, "webmakers", 2760, nullptr},
    {"jadeleaf", "jadeleaf-tea.com", 0, "root", 499, nullptr},
    {"kingsmill", "kingsmill-farm.ie", 0, "root", 145, "Requested by owner"},
    {"lumen", "lumen-photography.es", 2, "root", 18730, nullptr},
    {"mapleton", "mapleton-library.org", 1, "root", 1570, nullptr},
};

constexpr const char* kThemes[] = {"classic", "modern"};

PackageValues MakePackage(const PackageSpec& spec) {
    PackageValues p = DefaultPackage(spec.name);
    p[kPkgQuota] = spec.quota;
    p[kPkgBwLimit] = spec.bwlimit;
    p[kPkgMaxFtp] = spec.ftp;
    p[kPkgMaxSql] = spec.sql;
    p[kPkgMaxPop] = spec.pop;
    p[kPkgMaxLst] = spec.lst;
    p[kPkgMaxSub] = spec.sub;
    p[kPkgMaxPark] = spec.park;
    p[kPkgMaxAddon] = spec.addon;
    p[kPkgHasShell] = spec.shell ? "y" : "n";
    p[kPkgIp] = spec.dedicatedIp ? "y" : "n";
    return p;
}

std::vector<PackageValues> InsertDemoPackages(Store::Session& session) {
    std::vector<PackageValues> packages;
    for (const auto& spec : kPackages) {
        packages.push_back(MakePackage(spec));
        session.InsertPackage(packages.back());
    }
    return packages;
}

// A small deterministic mixer, so generated data is the same on every run.
unsigned long long Mix(unsigned long long x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

constexpr long long kEpoch2015 = 1420070400;
constexpr long long kNineYears = 9LL * 365 * 86400;

} // namespace

PackageValues DefaultPackage(std::string_view name) {
    PackageValues p;
    p[kPkgName] = name;
    p[kPkgQuota] = "unlimited";
    p[kPkgBwLimit] = "unlimited";
    p[kPkgCgi] = "y";
    p[kPkgCpmod] = "classic";
    p[kPkgFeaturelist] = "default";
    p[kPkgFrontpage] = "n";
    p[kPkgHasShell] = "n";
    p[kPkgIp] = "n";
    p[kPkgLang] = "en";
    p[kPkgMaxAddon] = "0";
    p[kPkgMaxFtp] = "unlimited";
    p[kPkgMaxLst] = "unlimited";
    p[kPkgMaxPark] = "0";
    p[kPkgMaxPop] = "unlimited";
    p[kPkgMaxSql] = "unlimited";
    p[kPkgMaxSub] = "unlimited";
    return p;
}

std::string FormatStartDate(long long unixTime) {
    std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%y %b %d %H:%M", &tm);
    return buffer;
}

AccountValues DefaultAccount(std::string_view user, std::string_view domain, long long startTime) {
    AccountValues a;
    a[0] = user;
    a[1] = domain;
    a[2] = "0";
    a[3] = "0M";
    a[4] = "unlimited";
    a[5] = "";
    a[6] = kSharedIp;
    a[7] = "root";
    a[8] = "home";
    a[9] = "default";
    a[10] = FormatStartDate(startTime);
    a[11] = std::to_string(startTime);
    a[12] = "classic";
    a[13] = kShellOff;
    a[14] = "not suspended";
    a[15] = "";
    for (size_t i = 16; i < a.size(); ++i) {
        a[i] = "unlimited";
    }
    return a;
}

void ApplyPackage(AccountValues& a, const PackageValues& p) {
    a[4] = p[kPkgQuota] == "unlimited" || p[kPkgQuota] == "0" ? std::string("unlimited") : p[kPkgQuota] + "M";
    a[9] = p[kPkgName];
    a[12] = p[kPkgCpmod];
    a[13] = p[kPkgHasShell] == "y" ? kShellOn : kShellOff;
    a[16] = p[kPkgMaxFtp];
    a[17] = p[kPkgMaxSql];
    a[18] = p[kPkgMaxPop];
    a[19] = p[kPkgMaxLst];
    a[20] = p[kPkgMaxSub];
    a[21] = p[kPkgMaxPark];
    a[22] = p[kPkgMaxAddon];
}

void SeedDemo(Store::Session& session) {
    auto packages = InsertDemoPackages(session);
    long long index = 0;
    for (const auto& demo : kDemoAccounts) {
        unsigned long long r = Mix(static_cast<unsigned long long>(index));
        long long start = kEpoch2015 + static_cast<long long>(r % kNineYears);
        AccountValues a = DefaultAccount(demo.user, demo.domain, start);
        const PackageValues& p = packages[static_cast<size_t>(demo.package)];
        ApplyPackage(a, p);
        a[3] = std::to_string(demo.diskUsedMb) + "M";
        a[5] = std::string("info@") + demo.domain;
        a[6] = p[kPkgIp] == "y" ? "192.0.2." + std::to_string(20 + index) : std::string(kSharedIp);
        a[7] = demo.owner;
        a[8] = index % 3 == 2 ? "home2" : "home";
        a[12] = kThemes[r % 2];
        if (demo.suspendReason) {
            a[2] = "1";
            a[14] = demo.suspendReason;
            a[15] = std::to_string(start + static_cast<long long>((r >> 20) % (400LL * 86400)));
        }
        AccountExtras extras;
        extras.bwlimit = p[kPkgBwLimit];
        extras.passwordHash = HashPassword(std::string(demo.user) + "-demo");
        extras.reseller =
            std::string_view(demo.user) == "webmakers" || std::string_view(demo.user) == "hostpro";
        session.InsertAccount(a, extras);
        ++index;
    }
}

void SeedGenerated(Store::Session& session, long long count) {
    static constexpr const char* kWords[] = {"acme",  "birch",  "coast",  "delta", "ember",  "flint", "grove",
                                             "haven", "indigo", "jasper", "kite",  "lumen",  "maple", "nova",
                                             "orbit", "pixel",  "quartz", "river", "summit", "timber"};
    static constexpr const char* kTlds[] = {"com", "net", "org", "de",   "co.uk",
                                            "io",  "fr",  "nl",  "info", "biz"};
    static constexpr const char* kOwners[] = {"root", "root", "root", "webmakers", "hostpro"};
    constexpr size_t kWordCount = std::size(kWords);
    auto packages = InsertDemoPackages(session);
    // One hash for all generated accounts keeps generation fast; their password is "secret".
    AccountExtras extras;
    extras.passwordHash = HashPassword("secret");
    for (long long i = 1; i <= count; ++i) {
        unsigned long long r = Mix(static_cast<unsigned long long>(i));
        std::string number = std::to_string(i);
        std::string user = std::string(kWords[r % kWordCount]) + number;
        std::string domain = std::string(kWords[(r >> 8) % kWordCount]) + "-" +
                             kWords[(r >> 16) % kWordCount] + number + "." +
                             kTlds[(r >> 24) % std::size(kTlds)];
        long long start = kEpoch2015 + static_cast<long long>((r >> 28) % kNineYears);
        AccountValues a = DefaultAccount(user, domain, start);
        const PackageValues& p = packages[(r >> 40) % packages.size()];
        ApplyPackage(a, p);
        a[3] = std::to_string((r >> 44) % 20000) + "M";
        a[5] = "admin@" + domain;
        a[7] = kOwners[(r >> 52) % std::size(kOwners)];
        a[8] = (r >> 55) % 3 == 0 ? "home2" : "home";
        if ((r >> 58) % 16 == 0) {
            a[2] = "1";
            a[14] = "Payment overdue";
            a[15] = std::to_string(start + 86400);
        }
        extras.bwlimit = p[kPkgBwLimit];
        session.InsertAccount(a, extras);
    }
}

} // namespace parlomar::standin
