// server/dashboard/assets/support.js: the one thing a page cannot do alone: copy the subscriber's address.
"use strict";
document.addEventListener("DOMContentLoaded", function () {
  if (!navigator.clipboard) return;
  document.querySelectorAll("button[data-copy]").forEach(function (button) {
    var source = document.getElementById(button.dataset.copy);
    if (!source) return;
    button.hidden = false;
    button.addEventListener("click", function () {
      navigator.clipboard.writeText(source.textContent).then(function () {
        button.textContent = "Copied";
        setTimeout(function () { button.textContent = "Copy address"; }, 1500);
      });
    });
  });
});
