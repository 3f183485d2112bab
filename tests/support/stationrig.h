#pragma once

#include "fakes.h"
#include "fixtures.h"
#include "loopbackserver.h"
#include "waitfor.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>

// One short reply of every list, as the services send them.
inline const QByteArray kPota =
    R"([{"activator":"K1ABC","frequency":"14074","mode":"FT8","comments":"",
  "name":"Acadia National Park","spotTime":"2030-01-01T00:00:00","latitude":44.3,"longitude":-68.2,
  "locationDesc":"US-ME","reference":"US-0001"}])";
inline const QByteArray kSota = R"([{"timeStamp":"2030-01-01T00:00:00","comments":null,
  "activatorCallsign":"W7XYZ","activatorName":"Jo","frequency":"7.032","mode":"DATA",
  "summitCode":"W7W/KG-001","summitDetails":"Mount Si, 1270m, 4 points"}])";
// The same spot as the current SOTA API gives it.
inline const QByteArray kSotaApi = R"([{"timeStamp":"2030-01-01T00:00:00.000000Z","comments":null,
  "activatorCallsign":"W7XYZ","activatorName":"Jo","frequency":7.032,"mode":"data",
  "summitCode":"W7W/KG-001","summitName":"Mount Si","AltM":1270,"points":4,"type":null}])";
inline const QByteArray kWwff = R"([{"id":1,"activator":"F4ILK/P","frequency_khz":7006,"mode":"CW",
  "reference":"FFF-3970","reference_name":"Le Buisson","remarks":"","spot_time":1893456000}])";
inline const QByteArray kNets =
    "<Nets>\n<NetName>Maritime Mobile</NetName>\n<Frequency>14.300 MHz</Frequency>\n"
    "<UTC>1600</UTC>\n<Mode>USB</Mode>\n<URL>https://mmsn.example/</URL>\n"
    "<Confirmed>3</Confirmed>\n<NetID>42</NetID>\n"
    "<NetName>Noon Net</NetName>\n<Frequency>7.255</Frequency>\n"
    "<UTC>1700</UTC>\n<Mode>SSB</Mode>\n<URL></URL>\n"
    "<Confirmed>0</Confirmed>\n<NetID>43</NetID>\n</Nets>\n";
inline const QByteArray kStations = "<Station>KFBK</Station>\n<Frequency>1530 kHz</Frequency>\n"
                                    "<City>Sacramento</City>\n<Power>50</Power>\n<URL></URL>\n"
                                    "<Station>WGN</Station>\n<Frequency>720</Frequency>\n"
                                    "<City>Chicago</City>\n<Power>50</Power>\n<URL></URL>\n";

// A station with every platform piece faked and every service on a loopback server, with two
// serial ports present.
struct StationRig : Fakes {
    StationRig() {
        settings = std::make_unique<QSettings>(dir.filePath("settings.ini"), QSettings::IniFormat);
        ports.ports = {{"ttyUSB0", "/dev/ttyUSB0", "ttyUSB0"},
                       {"ttyUSB1", "/dev/ttyUSB1", "ttyUSB1"}};
    }

    // A new station (the previous one goes first), every service on `server` unless the
    // hosts are given.
    session::Station& makeStation(const std::optional<core::ServiceHosts>& hosts = std::nullopt) {
        station.reset();
        session::Platform p = platform(settings.get(), &nam,
                                       hosts.value_or(core::ServiceHosts::allAt(server.baseUrl())),
                                       [this](const QString& line) { out << line; });
        p.keys = keys;
        p.clock = clock;
        station = std::make_unique<session::Station>(p);
        return *station;
    }

    void serveEverything() {
        server.route("/spot/activator", {200, kPota, "application/json"});
        server.route("/api/spots/epoch", {200, "1893456000"});
        server.route("/api/spots/-3/all/all", {200, kSotaApi, "application/json"});
        server.route("/static/spots.json", {200, kWwff, "application/json"});
        server.route("/api/GetActiveNets.php", {200, fixture("netlogger-active-nets.xml")});
        server.route("/nets.php", {200, kNets});
        server.route("/mw.php", {200, kStations});
        server.route("/solarxml.php", {200, fixture("solarxml-2.xml")});
        server.route("/bandhopper/version.txt", {200, "0.93\n"});
    }

    int rowsOf(core::ListKind list) const { return station->lists().model(list)->rowCount(); }
    bool allShown(int timeoutMs) const {
        return waitFor(
            [this] {
                return std::all_of(std::begin(core::kAllLists), std::end(core::kAllLists),
                                   [this](core::ListKind list) { return rowsOf(list) > 0; });
            },
            timeoutMs);
    }

    QTemporaryDir dir;
    LoopbackServer server;
    std::unique_ptr<QSettings> settings;
    QNetworkAccessManager nam;
    QStringList out;
    nets::OperatorKeyStore* keys = nullptr; // the next station's
    std::function<QDateTime()> clock;       // the next station's; the system's when empty
    std::unique_ptr<session::Station> station;
};
