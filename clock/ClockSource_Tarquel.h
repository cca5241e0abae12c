#pragma once

// Divider finder of each instrument object.
class ClockSource_Tarquel {};
