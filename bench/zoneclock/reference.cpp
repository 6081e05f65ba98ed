// The zone clock converter as first written: one formatted read per token
// into a 100-byte buffer, a scan of the table for each zone, formatted
// printing. Kept as the yardstick of zoneclock; it prints the same lines for
// tokens shorter than 100 bytes and hours and minutes in range.
#include <cstdio>
#include <cstring>

static const char* x[66] = {
    "WET", "0",    "UTC", "0",    "GMT",  "0",    "BST",   "+1",   "IST",  "+1",   "WEST",
    "+1",  "CET",  "+1",  "CEST", "+2",   "EET",  "+2",    "EEST", "+3",   "MSK",  "+3",
    "MSD", "+4",   "AST", "-4",   "ADT",  "-3",   "NST",   "-3.5", "NDT",  "-2.5", "EST",
    "-5",  "EDT",  "-4",  "CST",  "-6",   "CDT",  "-5",    "MST",  "-7",   "MDT",  "-6",
    "PST", "-8",   "PDT", "-7",   "HST",  "-10",  "AKST",  "-9",   "AKDT", "-8",   "AEST",
    "+10", "AEDT", "+11", "ACST", "+9.5", "ACDT", "+10.5", "AWST", "+8",   "",     "",
};
static int N, h, m, t, i;
static double off;
static char buf[100];

static void lookup(const char* before, const char* after) {
  std::scanf(" %99s", buf);
  for (i = 0; *x[i] != '\0' && std::strcmp(x[i], buf) != 0; ++i) {
  }
  if (std::strcmp(x[i], buf) != 0) {
    std::printf("%s%s%s", before, buf, after);
  }
  std::sscanf(x[i + 1], "%lf", &off);
}

int main() {
  std::scanf("%d", &N);
  while (N-- > 0) {
    std::scanf(" %99s", buf);
    if (std::strcmp(buf, "noon") == 0) {
      t = 720;
    } else if (std::strcmp(buf, "midnight") == 0) {
      t = 0;
    } else {
      std::sscanf(buf, "%d:%d", &h, &m);
      if (h == 12) {
        h = 0;
      }
      t = h * 60 + m;
      std::scanf(" %99s", buf);
      if (std::strcmp(buf, "p.m.") == 0) {
        t += 720;
      }
    }
    lookup("oops:  <<<", ">>>\n");
    t = static_cast<int>(t - off * 60.0);
    lookup("oops:  ", "\n");
    t = static_cast<int>(t + off * 60.0);
    t = (t + 1440) % 1440;
    if (t == 0) {
      std::printf("midnight\n");
    } else if (t == 720) {
      std::printf("noon\n");
    } else {
      h = t / 60 % 12;
      if (h == 0) {
        h = 12;
      }
      m = t % 60;
      std::printf("%d:%02d %s\n", h, m, t <= 720 ? "a.m." : "p.m.");
    }
  }
  return 0;
}
