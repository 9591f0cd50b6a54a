// Calls `then` in a task of its own once the browser has painted the page
// for the first time: at its first contentful paint, or a quarter of a
// second after its first frame where the browser has not told of one by
// then (WebKitGTK lists paint entries but makes none) or the page has
// nothing `contentful` (no text, no image) to paint, after that frame. What
// starts there (a module asked for, unpacked and compiled) neither holds
// the first frame back nor races it: a request begun before the frame
// reaches the screen counts, where the host is slow, as one the page's
// largest paint waited for.
function egnAfterFirstPaint(then, contentful) {
  var observer = null;
  function go() {
    if (!then) return;
    if (observer) observer.disconnect();
    setTimeout(then);
    then = null;
  }
  if (contentful && window.PerformanceObserver &&
      (PerformanceObserver.supportedEntryTypes || []).indexOf("paint") >= 0) {
    observer = new PerformanceObserver(function (list) {
      if (list.getEntriesByName("first-contentful-paint").length) go();
    });
    observer.observe({type: "paint", buffered: true});
  }
  requestAnimationFrame(function () { observer ? setTimeout(go, 250) : go(); });
}
