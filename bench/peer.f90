! The same conversion written plainly in Fortran: a big-endian sequential
! read, REAL(x, 4), a big-endian direct-access write and a list-directed
! report of each level's extremes. Used only as a yardstick.
program peer
  implicit none
  integer, parameter :: npts = 11094, nlev = 28
  character(len=256) :: infile, outfile
  character(len=8) :: text(4)
  real(8) :: value, t29(29), t28(28), t144(144), t306(306)
  integer(4) :: ints(4)
  real(8) :: gz(npts), q(npts), te(npts, nlev), uu(npts, nlev), vv(npts, nlev)
  real(8) :: rq(npts, nlev), extra(npts)
  integer :: k

  call get_command_argument(1, infile)
  call get_command_argument(2, outfile)
  open(100, file=infile, form='unformatted', convert='big_endian')
  open(1, file=outfile, status='new', access='direct', form='unformatted', &
       recl=4*npts, convert='big_endian')
  read(100) text
  print *, text
  read(100) value, ints, t29, t28, t144, t306
  print *, value, ints, t29, t28, t144, t306
  read(100) gz
  call report(gz, 1, 'gz')
  write(1, rec=1) real(gz, 4)
  read(100) q
  call report(q, 1, 'q')
  write(1, rec=2) real(q, 4)
  do k = 1, nlev
    read(100) te(:, k)
    write(1, rec=k + 2) real(te(:, k), 4)
  end do
  call report(te, nlev, 'te')
  do k = 1, nlev
    read(100) uu(:, k)
    read(100) vv(:, k)
  end do
  do k = 1, nlev
    write(1, rec=k + 30) real(uu(:, k), 4)
  end do
  do k = 1, nlev
    write(1, rec=k + 58) real(vv(:, k), 4)
  end do
  call report(uu, nlev, 'uu')
  call report(vv, nlev, 'vv')
  do k = 1, nlev
    read(100) rq(:, k)
    write(1, rec=k + 86) real(rq(:, k), 4)
  end do
  call report(rq, nlev, 'rq')
  do k = 1, 5
    read(100) extra
  end do
  close(100)
contains
  subroutine report(f, n, label)
    integer, intent(in) :: n
    real(8), intent(in) :: f(npts, n)
    character(len=*), intent(in) :: label
    integer :: l
    do l = 1, n
      print *, label, ' has max=', maxval(f(:, l)), ' min=', minval(f(:, l)), ' at k=', l
    end do
  end subroutine report
end program peer
