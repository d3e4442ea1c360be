// The connection commands as the host calls them.
#include "connection/connection.h"

using tcp::library;

extern "C" {

void sethost() { tcp::sethost(library()); }

void setip() { tcp::setip(library()); }

void setport() { tcp::setport(library()); }

void kconect() { tcp::kconect(library()); }

void disconect() { tcp::disconect(library()); }

void sendc() { tcp::sendc(library()); }

void recev() { tcp::recev(library()); }

void status() { tcp::status(library()); }

}  // extern "C"
