#include "net/online/listing_registration.h"

#include "net/online/server_list.h"

namespace net::online {

RegistrationHook ServerListRegistrationHook() {
  return [](const ServerListing& listing) {
    ServerRegistration r;
    r.port = listing.port;
    r.playerCount = listing.playerCount;
    r.state = listing.state;
    r.version = listing.version;
    r.passwordProtected = listing.passwordProtected;
    r.playerLimit = listing.playerLimit;
    r.location = listing.location;
    r.name = listing.name;
    r.description = listing.description;
    r.currentSong = listing.currentSong;
    r.players = listing.players;
    ServerList list;
    list.Register(r);
  };
}

}  // namespace net::online
