// Measures one start of a windowed program under an X server: the time from
// starting the process to the first frame painted into its main window (the
// first damage the X server reports on a top-level window at least MIN_WIDTH
// wide), and the process's peak resident memory up to then.
//
//   first_frame MIN_WIDTH PROGRAM [ARGS...]
//   prints: <milliseconds> <peak resident KiB>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <csignal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: first_frame MIN_WIDTH PROGRAM [ARGS...]\n");
    return 2;
  }
  const int min_width = std::atoi(argv[1]);
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) {
    std::fprintf(stderr, "first_frame: no X server\n");
    return 1;
  }
  const xcb_query_extension_reply_t* damage = xcb_get_extension_data(x, &xcb_damage_id);
  if (damage == nullptr || !damage->present) {
    std::fprintf(stderr, "first_frame: the X server has no DAMAGE extension\n");
    return 1;
  }
  free(xcb_damage_query_version_reply(x, xcb_damage_query_version(x, 1, 1), nullptr));
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(x);

  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }

  std::set<xcb_window_t> candidates;
  double milliseconds = -1;
  while (xcb_generic_event_t* event = xcb_wait_for_event(x)) {
    const uint8_t type = event->response_type & 0x7F;
    if (type == XCB_CREATE_NOTIFY) {
      const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
      if (created->parent == screen->root && created->width >= min_width) {
        const xcb_damage_damage_t id = xcb_generate_id(x);
        xcb_damage_create(x, id, created->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(x);
        candidates.insert(created->window);
      }
    } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
      const auto* notify = reinterpret_cast<xcb_damage_notify_event_t*>(event);
      if (candidates.count(notify->drawable) != 0) {
        milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        free(event);
        break;
      }
    }
    free(event);
  }
  kill(child, SIGKILL);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  xcb_disconnect(x);
  if (milliseconds < 0) {
    std::fprintf(stderr, "first_frame: no frame was painted\n");
    return 1;
  }
  std::printf("%.2f %ld\n", milliseconds, usage.ru_maxrss);
  return 0;
}
